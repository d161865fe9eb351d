#pragma once
// The attached USB devices with their requested current, every 3 s.
#include "monitors/Pausable.h"
#include "monitors/SamplerScheduler.h"
#include "platform/UsbRegistry.h"

#include <QList>
#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <memory>

namespace corvane {

class USBSampler;

struct USBDevice {
    Q_GADGET
    Q_PROPERTY(quint64 id MEMBER id)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QVariant vendor READ vendorVariant)
    Q_PROPERTY(QString portSpeed MEMBER portSpeed)
    Q_PROPERTY(qint64 powerMilliAmps MEMBER powerMilliAmps)
    Q_PROPERTY(qint64 busPowerMilliAmps MEMBER busPowerMilliAmps)
    Q_PROPERTY(quint64 locationId MEMBER locationId)
    Q_PROPERTY(bool isBuiltIn MEMBER isBuiltIn)
public:
    quint64 id = 0;
    QString name;
    std::optional<QString> vendor;
    QString portSpeed;
    qint64 powerMilliAmps = 0;
    qint64 busPowerMilliAmps = 0;
    quint64 locationId = 0;
    bool isBuiltIn = false;

    // Undefined in QML when the device names no vendor.
    QVariant vendorVariant() const { return vendor ? QVariant(*vendor) : QVariant(); }
    bool operator==(const USBDevice &) const = default;
};

class USBMonitor : public QObject, public Pausable {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState")
    Q_PROPERTY(QVariantList devices READ devicesVariant NOTIFY devicesChanged)
    Q_PROPERTY(qint64 totalDrawnMilliAmps READ totalDrawnMilliAmps NOTIFY totalDrawnMilliAmpsChanged)
    Q_PROPERTY(double totalEstimatedWatts READ totalEstimatedWatts NOTIFY totalEstimatedWattsChanged)
public:
    static inline const QString kFallbackName = QStringLiteral("USB Device");

    // One reading of the registry, made on the sampler thread.
    struct Snapshot {
        QList<USBDevice> devices; // sorted by name
        qint64 total = 0;         // mA, saturated
    };

    explicit USBMonitor(QObject *parent = nullptr);
    USBMonitor(std::unique_ptr<UsbRegistry> registry, const Clock &clock, bool autoStart,
               QObject *parent = nullptr);
    ~USBMonitor() override;

    // Refreshes at once, then every 3 s; calling it again restarts the cadence.
    void start();
    // Keeps the last published values.
    void stop();
    // Paused: stopped.
    void setPaused(bool paused) override { paused ? stop() : start(); }

    const QList<USBDevice> &devices() const { return m_devices; }
    QVariantList devicesVariant() const;
    qint64 totalDrawnMilliAmps() const { return m_totalDrawnMilliAmps; }
    double totalEstimatedWatts() const { return m_totalEstimatedWatts; }

    static QString speedLabel(std::optional<int64_t> code);
    static USBDevice deviceFrom(const UsbDeviceProperties &p);
    // Code-point order of the NFC forms; upper case sorts before lower case.
    static bool nameLess(const QString &a, const QString &b);

    // Applies a reading on the main thread.
    void publish(const Snapshot &s);
    SamplerScheduler *scheduler() const { return m_scheduler.get(); }
    // For tests that drive a monitor that was never started by hand.
    USBSampler &sampler() { return *m_sampler; }

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void devicesChanged();
    void totalDrawnMilliAmpsChanged();
    void totalEstimatedWattsChanged();

private:
    std::unique_ptr<USBSampler> m_sampler; // touched only on the sampler thread
    QList<USBDevice> m_devices;
    qint64 m_totalDrawnMilliAmps = 0;
    double m_totalEstimatedWatts = 0.0;
    std::unique_ptr<SamplerScheduler> m_scheduler;
};

// Owns the registry; lives on the "corvane.usb" thread.
class USBSampler {
public:
    explicit USBSampler(std::unique_ptr<UsbRegistry> registry) : m_registry(std::move(registry)) {}
    // nullopt when the registry cannot be listed.
    std::optional<USBMonitor::Snapshot> sample();

private:
    std::unique_ptr<UsbRegistry> m_registry;
};

} // namespace corvane

Q_DECLARE_METATYPE(corvane::USBDevice)
