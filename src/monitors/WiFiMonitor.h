#pragma once
// The current Wi-Fi link, every 3 s, read on its own thread.
#include "monitors/Pausable.h"
#include "monitors/SamplerScheduler.h"
#include "platform/WiFiLink.h"

#include <QObject>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <optional>

namespace corvane {

class WiFiSampler;

class WiFiMonitor : public QObject, public Pausable {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState")
    // Optional texts are undefined in QML when absent.
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY isConnectedChanged)
    Q_PROPERTY(QVariant ssid READ ssidVariant NOTIFY ssidChanged)
    Q_PROPERTY(QVariant bssid READ bssidVariant NOTIFY bssidChanged)
    Q_PROPERTY(qint64 rssiDbm READ rssiDbm NOTIFY rssiDbmChanged)
    Q_PROPERTY(qint64 noiseDbm READ noiseDbm NOTIFY noiseDbmChanged)
    Q_PROPERTY(double transmitRateMbps READ transmitRateMbps NOTIFY transmitRateMbpsChanged)
    Q_PROPERTY(QVariant securityType READ securityTypeVariant NOTIFY securityTypeChanged)
    Q_PROPERTY(QVariant channelLabel READ channelLabelVariant NOTIFY channelLabelChanged)
    Q_PROPERTY(QVariant hardwareAddress READ hardwareAddressVariant NOTIFY hardwareAddressChanged)
    Q_PROPERTY(bool locationAuthorized READ locationAuthorized NOTIFY locationAuthorizedChanged)
    Q_PROPERTY(QString signalQualityLabel READ signalQualityLabel NOTIFY rssiDbmChanged)
public:
    struct WiFiSample {
        bool isConnected = false;
        std::optional<QString> ssid;
        std::optional<QString> bssid;
        qint64 rssiDbm = 0;
        qint64 noiseDbm = 0;
        double transmitRateMbps = 0.0;
        std::optional<QString> securityType;
        std::optional<QString> channelLabel;
        std::optional<QString> hardwareAddress;
        bool operator==(const WiFiSample &) const = default;
    };

    explicit WiFiMonitor(QObject *parent = nullptr);
    WiFiMonitor(std::unique_ptr<WiFiLink> link, const Clock &clock, bool autoStart, QObject *parent = nullptr);
    ~WiFiMonitor() override;

    // First sample 0.1 s after the call, then every 3 s.
    void start();
    // Published values stay as they were.
    void stop();
    // Paused: stopped.
    void setPaused(bool paused) override { paused ? stop() : start(); }

    bool isConnected() const { return m_sample.isConnected; }
    const std::optional<QString> &ssid() const { return m_sample.ssid; }
    const std::optional<QString> &bssid() const { return m_sample.bssid; }
    qint64 rssiDbm() const { return m_sample.rssiDbm; }
    qint64 noiseDbm() const { return m_sample.noiseDbm; }
    double transmitRateMbps() const { return m_sample.transmitRateMbps; }
    const std::optional<QString> &securityType() const { return m_sample.securityType; }
    const std::optional<QString> &channelLabel() const { return m_sample.channelLabel; }
    const std::optional<QString> &hardwareAddress() const { return m_sample.hardwareAddress; }
    bool locationAuthorized() const { return m_locationAuthorized; }
    QVariant ssidVariant() const { return toVariant(m_sample.ssid); }
    QVariant bssidVariant() const { return toVariant(m_sample.bssid); }
    QVariant securityTypeVariant() const { return toVariant(m_sample.securityType); }
    QVariant channelLabelVariant() const { return toVariant(m_sample.channelLabel); }
    QVariant hardwareAddressVariant() const { return toVariant(m_sample.hardwareAddress); }

    // "Slab" / "Mediu" / "Bun" / "Excelent" by rssiDbm; "—" from 0 dBm up (0: no reading).
    QString signalQualityLabel() const { return signalQualityLabel(m_sample.rssiDbm); }
    static QString signalQualityLabel(qint64 rssiDbm);
    static QString securityLabel(int64_t raw);
    static std::optional<QString> channelText(const std::optional<WiFiChannel> &channel);
    static WiFiSample sampleFrom(const std::optional<WiFiInterfaceReading> &reading);

    // Re-reads the authorisation status; called when the platform reports a change.
    Q_INVOKABLE void locationAuthorizationDidChange();

    // Applies one reading on the main thread.
    void publish(const WiFiSample &s);
    SamplerScheduler *scheduler() const { return m_scheduler.get(); }
    // For tests that drive a monitor that was never started by hand.
    WiFiSampler &sampler() { return *m_sampler; }

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void isConnectedChanged();
    void ssidChanged();
    void bssidChanged();
    void rssiDbmChanged();
    void noiseDbmChanged();
    void transmitRateMbpsChanged();
    void securityTypeChanged();
    void channelLabelChanged();
    void hardwareAddressChanged();
    void locationAuthorizedChanged();

private:
    static QVariant toVariant(const std::optional<QString> &s) { return s ? QVariant(*s) : QVariant(); }

    std::unique_ptr<WiFiSampler> m_sampler; // reads on the sampler thread; its authorisation on any
    WiFiSample m_sample;
    bool m_locationAuthorized = false;
    std::unique_ptr<SamplerScheduler> m_scheduler;
};

// Owns the link; reads it on the "corvane.wifi" thread.
class WiFiSampler {
public:
    explicit WiFiSampler(std::unique_ptr<WiFiLink> link) : m_link(std::move(link)) {}
    WiFiMonitor::WiFiSample sample() { return WiFiMonitor::sampleFrom(m_link->currentInterface()); }
    // Any thread.
    bool locationAuthorized() const { return m_link->locationAuthorizationStatus() == WiFiLink::kAuthorizedAlways; }

private:
    std::unique_ptr<WiFiLink> m_link;
};

} // namespace corvane
