#pragma once
// Download and upload rates, totals and the busiest interface, once a second.
#include "monitors/MetricHistory.h"
#include "monitors/SamplerScheduler.h"
#include "platform/NetworkCounters.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <memory>

namespace corvane {

class NetworkMonitor : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState")
    Q_PROPERTY(quint64 downloadBytesPerSec READ downloadBytesPerSec NOTIFY downloadBytesPerSecChanged)
    Q_PROPERTY(quint64 uploadBytesPerSec READ uploadBytesPerSec NOTIFY uploadBytesPerSecChanged)
    Q_PROPERTY(quint64 totalDownloadedBytes READ totalDownloadedBytes NOTIFY totalDownloadedBytesChanged)
    Q_PROPERTY(quint64 totalUploadedBytes READ totalUploadedBytes NOTIFY totalUploadedBytesChanged)
    Q_PROPERTY(QString primaryInterface READ primaryInterface NOTIFY primaryInterfaceChanged)
    Q_PROPERTY(corvane::MetricHistory *downHistory READ downHistory CONSTANT)
    Q_PROPERTY(corvane::MetricHistory *upHistory READ upHistory CONSTANT)
public:
    struct Totals {
        uint64_t received = 0;
        uint64_t sent = 0;
        QString primary = QStringLiteral("—");
    };
    struct Snapshot {
        uint64_t timestampNs = 0;
        Totals totals;
    };

    explicit NetworkMonitor(QObject *parent = nullptr);
    NetworkMonitor(std::unique_ptr<NetworkCounters> source, const Clock &clock, bool autoStart,
                   QObject *parent = nullptr);
    ~NetworkMonitor() override;

    void start();
    void stop();

    quint64 downloadBytesPerSec() const { return m_down; }
    quint64 uploadBytesPerSec() const { return m_up; }
    quint64 totalDownloadedBytes() const { return m_totalDown; }
    quint64 totalUploadedBytes() const { return m_totalUp; }
    QString primaryInterface() const { return m_primary; }
    MetricHistory *downHistory() const { return m_downHistory; }
    MetricHistory *upHistory() const { return m_upHistory; }

    // Sums the counted interfaces (loopback, tunnels and peer-to-peer links are left out)
    // and names the one with the most traffic; ties go to the first listed.
    static Totals sumInterfaceCounters(const QList<InterfaceCounters> &list);

    Snapshot sample();
    void publish(const Snapshot &s);
    SamplerScheduler *scheduler() const { return m_scheduler.get(); }

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void downloadBytesPerSecChanged();
    void uploadBytesPerSecChanged();
    void totalDownloadedBytesChanged();
    void totalUploadedBytesChanged();
    void primaryInterfaceChanged();

private:
    std::unique_ptr<NetworkCounters> m_source;
    const Clock &m_clock;
    quint64 m_down = 0, m_up = 0, m_totalDown = 0, m_totalUp = 0;
    QString m_primary = QStringLiteral("—");
    MetricHistory *m_downHistory;
    MetricHistory *m_upHistory;
    // Baseline, main thread only.
    uint64_t m_lastIn = 0, m_lastOut = 0, m_lastTimestampNs = 0;
    std::unique_ptr<SamplerScheduler> m_scheduler;
};

} // namespace corvane
