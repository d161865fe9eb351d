#pragma once
// Temperature sensors and fans: Apple's controller (SMC keys) where the machine has one, else
// the hwmon sensors (SensorSource.h). Found once, then every 3 s (12 s at reduced cadence) all
// temperatures and fans are read on the "corvane.smc" thread and published here. Fan speeds are forced only through the
// privileged helper (FanControl.h); this class never writes SMC keys.
#include "monitors/FanControl.h"
#include "monitors/MetricHistory.h"
#include "monitors/Pausable.h"
#include "monitors/SamplerScheduler.h"
#include "platform/SensorSource.h"
#include "platform/SmcTransport.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QThread>
#include <QVariant>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <optional>

namespace corvane {

class SMCSampler;

struct SMCTemperatureReading {
    Q_GADGET
    Q_PROPERTY(QString key MEMBER key)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(double celsius MEMBER celsius)
public:
    QString key;
    QString name;
    double celsius = 0;
    bool operator==(const SMCTemperatureReading &) const = default;
};

struct SMCFanReading {
    Q_GADGET
    Q_PROPERTY(int index MEMBER index)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(double rpm MEMBER rpm)
    Q_PROPERTY(double minRPM MEMBER minRPM)
    Q_PROPERTY(double maxRPM MEMBER maxRPM)
public:
    int index = 0;
    QString name;
    double rpm = 0;
    double minRPM = 0;
    double maxRPM = 0;
    bool operator==(const SMCFanReading &) const = default;
};

class SMCMonitor : public QObject, public Pausable {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState")
    Q_PROPERTY(QVariantList temperatures READ temperaturesVariant NOTIFY temperaturesChanged)
    Q_PROPERTY(QVariantList fans READ fansVariant NOTIFY fansChanged)
    Q_PROPERTY(double cpuTemp READ cpuTemp NOTIFY cpuTempChanged)
    Q_PROPERTY(double gpuTemp READ gpuTemp NOTIFY gpuTempChanged)
    Q_PROPERTY(corvane::MetricHistory *cpuHistory READ cpuHistory CONSTANT)
    Q_PROPERTY(corvane::MetricHistory *gpuHistory READ gpuHistory CONSTANT)
    Q_PROPERTY(bool reducedCadence READ reducedCadence WRITE setReducedCadence)
    // null until the first fan command has finished
    Q_PROPERTY(QVariant fanControlMessage READ fanControlMessageVariant NOTIFY fanControlMessageChanged)
    Q_PROPERTY(bool fanManualActive READ fanManualActive NOTIFY fanManualActiveChanged)
public:
    static constexpr double kInterval = 3.0;
    static constexpr double kReducedInterval = 12.0;
    // Discovery never walks more keys than this, whatever "#KEY" claims.
    static constexpr int kMaxDiscoveredKeys = 2048;
    static constexpr int kMaxFans = 8;

    struct TemperatureKey {
        QString key;
        uint32_t type = 0;
        bool operator==(const TemperatureKey &) const = default;
    };
    struct Snapshot {
        bool connected = false; // false: nothing is published
        QList<SMCTemperatureReading> temperatures;
        double cpuTemp = 0;
        double gpuTemp = 0;
        QList<SMCFanReading> fans;
        // Once, with the first reading: keys earlier versions saved, to today's.
        QHash<QString, QString> formerKeys;
    };

    // The machine's sensors (applesmc, else hwmon) and the installed fan helper.
    explicit SMCMonitor(QObject *parent = nullptr);
    // autoStart: open, discover and start the timer at once (else the test drives sample()).
    SMCMonitor(std::unique_ptr<SmcTransport> transport, const Clock &clock, bool autoStart,
               QObject *parent = nullptr);
    SMCMonitor(std::unique_ptr<SensorSource> source, const Clock &clock, bool autoStart, QObject *parent = nullptr);
    ~SMCMonitor() override;

    // (Re)starts the refresh timer for the current cadence and refreshes at once.
    Q_INVOKABLE void startTimer();
    // Schedules one full read on the sampler thread; the result is published when it lands.
    Q_INVOKABLE void refresh();

    bool reducedCadence() const { return m_reducedCadence; }
    // Only the flag; startTimer() applies it.
    void setReducedCadence(bool reduced) { m_reducedCadence = reduced; }
    // Paused: refreshes at the reduced cadence.
    void setPaused(bool paused) override
    {
        if (m_reducedCadence == paused)
            return;
        m_reducedCadence = paused;
        startTimer();
    }

    const QList<SMCTemperatureReading> &temperatures() const { return m_temperatures; }
    const QList<SMCFanReading> &fans() const { return m_fans; }
    QVariantList temperaturesVariant() const;
    QVariantList fansVariant() const;
    double cpuTemp() const { return m_cpuTemp; }
    double gpuTemp() const { return m_gpuTemp; }
    MetricHistory *cpuHistory() const { return m_cpuHistory; }
    MetricHistory *gpuHistory() const { return m_gpuHistory; }
    const std::optional<QString> &fanControlMessage() const { return m_fanControlMessage; }
    QVariant fanControlMessageVariant() const;
    bool fanManualActive() const { return m_fanManualActive; }
    // Keys earlier versions published for this machine's sensors, to today's key; filled
    // with the first reading.
    const QHash<QString, QString> &formerKeys() const { return m_formerKeys; }

    // Fan control. rpm none: back to automatic control; fanIndex none: every fan.
    // Returns at once; fanCommandFinished() follows when the outcome is published.
    void setFanTarget(std::optional<double> rpm, std::optional<int> fanIndex);
    // QML form: undefined or null stand for "none".
    Q_INVOKABLE void setFanTarget(const QVariant &rpm, const QVariant &fanIndex);
    // Blocks (bounded) until the helper has put the fans back to automatic. Publishes nothing.
    void restoreAutomaticFans();
    FanControlBridge *fanControl() const { return m_fanControl; }

    // Applies one reading on the main thread.
    void publish(const Snapshot &s);
    // For tests that drive a monitor that was never started by hand.
    SMCSampler &sampler() { return *m_sampler; }

    // --- pure rules ---
    // Value of an SMC read by type; nothing for an unknown type, a short size or a
    // non-finite float.
    static std::optional<double> decodeValue(uint32_t type, uint32_t size, const std::array<uint8_t, 32> &bytes);
    static QString sensorName(const QString &key);
    static double cpuTemperature(const QList<SMCTemperatureReading> &sorted);
    static double gpuTemperature(const QList<SMCTemperatureReading> &sorted);
    // `raw` (comma-joined keys) with each former key replaced by today's.
    static QString renamedKeys(const QString &raw, const QHash<QString, QString> &formerKeys);
    static QString fanName(int count, int index);

    SamplerScheduler *scheduler() const { return m_scheduler.get(); }

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void temperaturesChanged();
    void fansChanged();
    void cpuTempChanged();
    void gpuTempChanged();
    void fanControlMessageChanged();
    void fanManualActiveChanged();
    // After each setFanTarget(), once its outcome is published.
    void fanCommandFinished();

private:
    SMCMonitor(std::unique_ptr<SMCSampler> sampler, const Clock &clock, bool autoStart, QObject *parent);
    // A fan command's outcome; `manual` only when the helper succeeded.
    void publishFanOutcome(std::optional<bool> manual, const QString &message);

    std::unique_ptr<SMCSampler> m_sampler; // touched only on the "corvane.smc" thread

    bool m_reducedCadence = false;
    QList<SMCTemperatureReading> m_temperatures;
    QList<SMCFanReading> m_fans;
    double m_cpuTemp = 0;
    double m_gpuTemp = 0;
    MetricHistory *m_cpuHistory;
    MetricHistory *m_gpuHistory;
    std::optional<QString> m_fanControlMessage;
    bool m_fanManualActive = false;
    QHash<QString, QString> m_formerKeys;
    FanControlBridge *m_fanControl;

    std::unique_ptr<WorkerThread> m_thread; // queued reads run there, in order
    std::unique_ptr<SamplerScheduler> m_scheduler;
};

// Owns the transport (or the sensor source) and the discovered keys; every call runs on the
// "corvane.smc" thread.
class SMCSampler {
public:
    explicit SMCSampler(std::unique_ptr<SmcTransport> transport) : m_transport(std::move(transport)) {}
    explicit SMCSampler(std::unique_ptr<SensorSource> source) : m_source(std::move(source)) {}
    ~SMCSampler();
    SMCSampler(const SMCSampler &) = delete;
    SMCSampler &operator=(const SMCSampler &) = delete;

    // Opens the transport and discovers the temperature keys (or opens the source), once.
    void openAndDiscover();
    // Nonzero once sensors were found.
    uint32_t connection() const { return m_connection; }
    std::optional<SmcRecord> callSMC(SmcRecord record, uint8_t command);
    std::optional<double> readKey(const QString &key, uint32_t typeHint = 0);
    void discoverTemperatureKeys();
    const QList<SMCMonitor::TemperatureKey> &temperatureKeys() const { return m_temperatureKeys; }
    QList<SMCFanReading> readFans();
    SMCMonitor::Snapshot sample();

private:
    SMCMonitor::Snapshot sampleSource();

    std::unique_ptr<SmcTransport> m_transport;
    std::unique_ptr<SensorSource> m_source;
    uint32_t m_connection = 0;
    bool m_opened = false;
    bool m_formerKeysSent = false;
    QList<SMCMonitor::TemperatureKey> m_temperatureKeys;
};

} // namespace corvane

Q_DECLARE_METATYPE(corvane::SMCTemperatureReading)
Q_DECLARE_METATYPE(corvane::SMCFanReading)
