#pragma once
// Internet speed test: latency probes, then parallel download and upload streams over HTTPS
// against one speed-test host. Bodies are counted as they arrive and thrown away.
#include "checks/SpeedTransport.h"
#include "checks/TransferAggregators.h"

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <optional>

namespace corvane {

namespace SpeedRules {
// Mean of the probe times; from three samples on, the slowest is dropped.
std::optional<double> trimmedPingMean(QList<double> samples);
// A figure not measured: "—" in its place.
QString doneText(std::optional<double> peakDown, std::optional<double> peakUp, std::optional<double> pingMs);
double gaugeMax(double peakDown, double peakUp);
QString verdict(double peakDown);
QString verdictRole(double peakDown); // "good", "accent" or "warning"
QString jitterText(const QList<double> &downHistory);
double mean(const QList<double> &v);
int uploadStreamBytes(qint64 total);
} // namespace SpeedRules

class NetworkSpeedTester : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(Phase phase READ phase NOTIFY phaseChanged)
    Q_PROPERTY(QString phaseText READ phaseText NOTIFY phaseChanged)
    Q_PROPERTY(double downloadMbps READ downloadMbps NOTIFY figuresChanged)
    Q_PROPERTY(double uploadMbps READ uploadMbps NOTIFY figuresChanged)
    Q_PROPERTY(double pingMs READ pingMs NOTIFY figuresChanged)
    // False until a probe has answered: the screens show "—" rather than 0 ms.
    Q_PROPERTY(bool hasPing READ hasPing NOTIFY figuresChanged)
    // False until a figure of that direction has come in during this run (none when every
    // stream failed): the screens show "—" rather than 0 Mbps.
    Q_PROPERTY(bool hasDownload READ hasDownload NOTIFY figuresChanged)
    Q_PROPERTY(bool hasUpload READ hasUpload NOTIFY figuresChanged)
    Q_PROPERTY(double peakDownloadMbps READ peakDownloadMbps NOTIFY figuresChanged)
    Q_PROPERTY(double peakUploadMbps READ peakUploadMbps NOTIFY figuresChanged)
    Q_PROPERTY(QList<double> downHistory READ downHistory NOTIFY figuresChanged)
    Q_PROPERTY(QList<double> upHistory READ upHistory NOTIFY figuresChanged)
    Q_PROPERTY(double avgDownloadMbps READ avgDownloadMbps NOTIFY figuresChanged)
    Q_PROPERTY(double avgUploadMbps READ avgUploadMbps NOTIFY figuresChanged)
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(QString host READ host WRITE setHost NOTIFY hostChanged)
public:
    enum Phase { Idle, Ping, Download, Upload, Done };
    Q_ENUM(Phase)
    static QString rawValue(Phase p);
    static constexpr int kDownloadStreams = 6;
    static constexpr int kUploadStreams = 4;
    static constexpr auto kDefaultHost = "speed.cloudflare.com";
    // The probe's answer is a few hundred bytes; anything far beyond is not a speed-test server.
    static constexpr qint64 kProbeBodyCap = 64 * 1024;
    static constexpr qint64 kHeaderCap = 64 * 1024;
    // A probe is a round trip of a few hundred bytes: one that takes longer measured nothing,
    // and five of them keep the latency step well under a minute.
    static constexpr int kProbeLimitMs = 4000;

    explicit NetworkSpeedTester(QObject *parent = nullptr);
    NetworkSpeedTester(const Clock &clock, QObject *parent = nullptr);
    ~NetworkSpeedTester() override;

    Q_INVOKABLE void start();
    Q_INVOKABLE void cancel();

    Phase phase() const { return m_phase; }
    QString phaseText() const { return rawValue(m_phase); }
    double downloadMbps() const { return m_downloadMbps; }
    double uploadMbps() const { return m_uploadMbps; }
    double pingMs() const { return m_pingMs; }
    bool hasPing() const { return m_hasPing; }
    // Every figure that comes in is kept in its history.
    bool hasDownload() const { return !m_downHistory.isEmpty(); }
    bool hasUpload() const { return !m_upHistory.isEmpty(); }
    double peakDownloadMbps() const { return m_peakDownloadMbps; }
    double peakUploadMbps() const { return m_peakUploadMbps; }
    QList<double> downHistory() const { return m_downHistory; }
    QList<double> upHistory() const { return m_upHistory; }
    double avgDownloadMbps() const { return SpeedRules::mean(m_downHistory); }
    double avgUploadMbps() const { return SpeedRules::mean(m_upHistory); }
    QString statusMessage() const { return m_status; }
    // "host" or "host:port"; the setting "speedtest.host" gives the first value.
    QString host() const { return m_host; }
    void setHost(const QString &h);

    // Sizes and limits; the defaults are the real test's. Tests shrink them.
    void setDownloadBytes(qint64 b) { m_downloadBytes = b; }
    void setUploadBytes(qint64 b) { m_uploadBytes = b; }
    // Longest silence of a request.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    // Longest run of one request, however steadily it moves.
    void setTransferLimitMs(int ms) { m_limitMs = ms; }
    // Longest run of one latency probe (within the two above).
    void setProbeLimitMs(int ms) { m_probeLimitMs = ms; }
    // Extra certificates to trust (a private test server).
    void setExtraCaCertificates(const QList<QSslCertificate> &certs) { m_extraCa = certs; }
    // Streams of the phase under way (tests watch them end).
    int openStreams() const;

signals:
    void phaseChanged();
    void figuresChanged();
    void statusMessageChanged();
    void hostChanged();
    // The run has ended: done, failed or stopped.
    void runEnded();

private:
    struct Transfer;
    SpeedTransport::Request request(const QString &pathAndQuery) const;
    void setPhase(Phase p);
    void setStatus(const QString &s);
    void setPing(std::optional<double> ms);
    void sendPing(quint64 run);
    void probeEnded(quint64 run, const SpeedTransport::Result &r);
    void finishPing(quint64 run);
    void beginTransfer(quint64 run, bool upload);
    void endTransfer(quint64 run);
    void finishRun(quint64 run);
    void applySample(bool upload, double v);
    void publishAverage(bool upload, double avg);
    void dropTransfer();
    static QString streamError(const SpeedTransport::Result &r, const QString &host, bool upload);
    // Runs `fn` on this object's thread, after what was queued before it.
    template <typename Fn> void post(Fn &&fn);

    const Clock &m_clock;
    std::unique_ptr<SpeedTransport> m_transport;
    std::shared_ptr<Transfer> m_transfer;
    QByteArray m_caPem;
    quint64 m_run = 0;
    QList<double> m_pingSamples;
    int m_pingAttempts = 0;
    bool m_runFailed = false;

    Phase m_phase = Idle;
    double m_downloadMbps = 0, m_uploadMbps = 0, m_pingMs = 0, m_peakDownloadMbps = 0, m_peakUploadMbps = 0;
    bool m_hasPing = false;
    QList<double> m_downHistory, m_upHistory;
    QString m_status;
    QString m_host;
    qint64 m_downloadBytes = 99'000'000;
    qint64 m_uploadBytes = 200'000'000;
    int m_timeoutMs = 60'000;
    int m_limitMs = 60'000;
    int m_probeLimitMs = kProbeLimitMs;
    int m_pingCount = 5;
    QList<QSslCertificate> m_extraCa;
};

} // namespace corvane
