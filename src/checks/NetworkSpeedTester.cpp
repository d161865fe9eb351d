#include "checks/NetworkSpeedTester.h"

#include "common/Numbers.h"

#include <QSettings>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numeric>

namespace corvane {

// ---- Rules ------------------------------------------------------------------------------

std::optional<double> SpeedRules::trimmedPingMean(QList<double> samples)
{
    if (samples.isEmpty())
        return std::nullopt;
    if (samples.size() >= 3) {
        std::sort(samples.begin(), samples.end());
        samples.removeLast();
    }
    return std::accumulate(samples.begin(), samples.end(), 0.0) / double(samples.size());
}

QString SpeedRules::doneText(std::optional<double> peakDown, std::optional<double> peakUp, std::optional<double> pingMs)
{
    const auto figure = [](std::optional<double> v, int decimals, const QString &unit) {
        return v ? printfFixed(*v, decimals) + unit : QStringLiteral("—");
    };
    return QStringLiteral("Done · ↓ %1 · ↑ %2 · %3")
        .arg(figure(peakDown, 1, QStringLiteral(" Mbps")), figure(peakUp, 1, QStringLiteral(" Mbps")),
             figure(pingMs, 0, QStringLiteral(" ms")));
}

double SpeedRules::gaugeMax(double peakDown, double peakUp)
{
    double m = std::max(std::max(peakDown, peakUp), 100.0);
    if (!std::isfinite(m))
        m = 100.0;
    return std::ceil(m / 100.0) * 100.0;
}

QString SpeedRules::verdict(double d)
{
    if (d >= 500) return QStringLiteral("Gigabit");
    if (d >= 200) return QStringLiteral("Fibră rapidă");
    if (d >= 80) return QStringLiteral("Bandă largă");
    if (d >= 25) return QStringLiteral("Casnic mediu");
    if (d >= 5) return QStringLiteral("Lent");
    return QStringLiteral("Foarte slab");
}

QString SpeedRules::verdictRole(double d)
{
    if (d >= 200) return QStringLiteral("good");
    if (d >= 25) return QStringLiteral("accent");
    return QStringLiteral("warning");
}

double SpeedRules::mean(const QList<double> &v)
{
    return v.isEmpty() ? 0.0 : std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
}

QString SpeedRules::jitterText(const QList<double> &h)
{
    if (h.size() < 3)
        return QStringLiteral("—");
    const double m = mean(h);
    double sq = 0;
    for (double x : h)
        sq += (x - m) * (x - m);
    return printfFixed(std::sqrt(sq / double(h.size())), 1) + QStringLiteral(" Mbps");
}

int SpeedRules::uploadStreamBytes(qint64 total)
{
    return int(std::max<qint64>(total / 4, 8'000'000));
}

// ---- Engine -----------------------------------------------------------------------------

// What the transfer thread and the engine share for one phase.
struct NetworkSpeedTester::Transfer {
    bool upload = false;
    std::shared_ptr<TransferAggregator> aggregator;
    std::atomic<int> open{0};
};

QString NetworkSpeedTester::rawValue(Phase p)
{
    switch (p) {
    case Idle: return QStringLiteral("Standby");
    case Ping: return QStringLiteral("Ping");
    case Download: return QStringLiteral("Download");
    case Upload: return QStringLiteral("Upload");
    case Done: return QStringLiteral("Finalizat");
    }
    return {};
}

NetworkSpeedTester::NetworkSpeedTester(QObject *parent) : NetworkSpeedTester(Clock::system(), parent) {}

NetworkSpeedTester::NetworkSpeedTester(const Clock &clock, QObject *parent)
    : QObject(parent), m_clock(clock), m_status(QStringLiteral("Apasă START pentru test")),
      m_host(QSettings().value(QStringLiteral("speedtest.host"), QString::fromLatin1(kDefaultHost)).toString())
{
}

NetworkSpeedTester::~NetworkSpeedTester()
{
    ++m_run;
    // Joins the transfer thread: nothing calls back into this object afterwards.
    m_transport.reset();
}

template <typename Fn> void NetworkSpeedTester::post(Fn &&fn)
{
    QMetaObject::invokeMethod(this, std::forward<Fn>(fn), Qt::QueuedConnection);
}

void NetworkSpeedTester::setHost(const QString &h)
{
    if (h == m_host)
        return;
    m_host = h;
    emit hostChanged();
}

int NetworkSpeedTester::openStreams() const
{
    return m_transfer ? m_transfer->open.load() : 0;
}

void NetworkSpeedTester::setPhase(Phase p)
{
    if (p == m_phase)
        return;
    m_phase = p;
    emit phaseChanged();
}

void NetworkSpeedTester::setStatus(const QString &s)
{
    if (s == m_status)
        return;
    m_status = s;
    emit statusMessageChanged();
}

void NetworkSpeedTester::setPing(std::optional<double> ms)
{
    m_hasPing = ms.has_value();
    m_pingMs = ms.value_or(0);
    emit figuresChanged();
}

SpeedTransport::Request NetworkSpeedTester::request(const QString &pathAndQuery) const
{
    SpeedTransport::Request r;
    const QUrl url(QStringLiteral("https://") + m_host + pathAndQuery, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return r; // an empty address: the caller skips it
    r.url = url.toEncoded();
    r.headerCap = kHeaderCap;
    r.idleMs = m_timeoutMs;
    r.limitMs = m_limitMs;
    r.caPem = m_caPem;
    return r;
}

void NetworkSpeedTester::start()
{
    if (m_phase != Idle && m_phase != Done)
        return;
    const quint64 run = ++m_run;
    if (!m_transport)
        m_transport = std::make_unique<SpeedTransport>();
    QByteArray extra;
    for (const QSslCertificate &c : m_extraCa)
        extra += c.toPem();
    m_caPem = SpeedTransport::trustedPem(extra);
    m_runFailed = false;
    m_downloadMbps = m_uploadMbps = m_peakDownloadMbps = m_peakUploadMbps = 0;
    m_downHistory.clear();
    m_upHistory.clear();
    setPing(std::nullopt);
    setPhase(Ping);
    setStatus(QStringLiteral("Măsurare ping…"));
    m_pingSamples.clear();
    m_pingAttempts = 0;
    sendPing(run);
}

void NetworkSpeedTester::cancel()
{
    const Phase was = m_phase;
    ++m_run; // every callback of the stopped run is dropped from here on
    if (m_transport)
        m_transport->cancelAll();
    if (was == Ping) {
        if (const auto mean = SpeedRules::trimmedPingMean(m_pingSamples))
            setPing(mean);
    }
    if (m_transfer) {
        const double avg = m_transfer->aggregator->averageMbps();
        const bool upload = m_transfer->upload;
        dropTransfer();
        if (avg > 0)
            publishAverage(upload, avg);
    }
    setPhase(Idle);
    setStatus(QStringLiteral("Test oprit"));
    if (was != Idle && was != Done)
        emit runEnded();
}

void NetworkSpeedTester::sendPing(quint64 run)
{
    if (run != m_run)
        return;
    if (m_pingAttempts >= m_pingCount)
        return finishPing(run);
    SpeedTransport::Request req = request(QStringLiteral("/cdn-cgi/trace"));
    if (req.url.isEmpty())
        return finishPing(run);
    ++m_pingAttempts;
    // The answer is read and dropped as it comes, and ends the probe once past its cap.
    req.bodyCap = kProbeBodyCap;
    req.idleMs = std::min(req.idleMs, m_probeLimitMs);
    req.limitMs = std::min(req.limitMs, m_probeLimitMs);
    req.onDone = [this, run](const SpeedTransport::Result &r) { post([this, run, r] { probeEnded(run, r); }); };
    m_transport->submit({std::move(req)});
}

void NetworkSpeedTester::probeEnded(quint64 run, const SpeedTransport::Result &r)
{
    if (run != m_run)
        return;
    // A probe that failed measured nothing about the round trip.
    if (r.kind == SpeedTransport::Result::ok)
        m_pingSamples << r.seconds * 1000.0;
    sendPing(run);
}

void NetworkSpeedTester::finishPing(quint64 run)
{
    setPing(SpeedRules::trimmedPingMean(m_pingSamples));
    setPhase(Download);
    setStatus(QStringLiteral("Test download…"));
    beginTransfer(run, false);
}

QString NetworkSpeedTester::streamError(const SpeedTransport::Result &r, const QString &host, bool upload)
{
    using R = SpeedTransport::Result;
    switch (r.kind) {
    case R::ok: return {};
    case R::httpStatus: {
        const QUrl target(r.location);
        const QString where = target.port() > 0 ? target.host() + QLatin1Char(':') + QString::number(target.port())
                                                : target.host();
        // Another host would measure a line we were not asked about.
        if (!where.isEmpty() && where.compare(host, Qt::CaseInsensitive) != 0)
            return QStringLiteral("serverul redirecționează către %1 (refuzat; testul rulează doar pe %2)").arg(where, host);
        return QStringLiteral("serverul a răspuns HTTP %1").arg(r.status);
    }
    case R::idleTimeout:
        return upload ? QStringLiteral("serverul nu mai primește date (timp de așteptare depășit)")
                      : QStringLiteral("serverul nu mai răspunde (timp de așteptare depășit)");
    case R::timeLimit: return QStringLiteral("durata maximă a transferului a fost depășită");
    case R::tooLarge: return QStringLiteral("serverul a trimis un răspuns prea mare");
    case R::transport: return r.error;
    }
    return r.error;
}

void NetworkSpeedTester::beginTransfer(quint64 run, bool upload)
{
    dropTransfer();
    auto t = std::make_shared<Transfer>();
    t->upload = upload;
    // Samples and errors come from the transfer thread; the figures change on ours.
    auto onSample = [this, run, upload](double v) {
        post([this, run, upload, v] {
            if (run == m_run)
                applySample(upload, v);
        });
    };
    auto onError = [this, run, upload](const QString &e) {
        post([this, run, upload, e] {
            if (run == m_run)
                setStatus((upload ? QStringLiteral("Eroare upload: ") : QStringLiteral("Eroare download: ")) + e);
        });
    };
    if (upload)
        t->aggregator = std::make_shared<ParallelUploadAggregator>(onSample, onError, m_clock);
    else
        t->aggregator = std::make_shared<ParallelDownloadAggregator>(onSample, onError, m_clock);
    m_transfer = t;

    std::vector<SpeedTransport::Request> requests;
    const int streams = upload ? kUploadStreams : kDownloadStreams;
    for (int i = 0; i < streams; ++i) {
        const QString path = upload ? QStringLiteral("/__up?n=%1").arg(i)
                                    : QStringLiteral("/__down?bytes=%1&n=%2").arg(m_downloadBytes).arg(i);
        SpeedTransport::Request req = request(path);
        if (req.url.isEmpty())
            continue;
        TransferAggregator *agg = t->aggregator.get();
        if (upload) {
            req.uploadBytes = SpeedRules::uploadStreamBytes(m_uploadBytes);
            req.onBytes = [agg, i, sent = qint64(0)](qint64 n) mutable {
                sent += n;
                static_cast<ParallelUploadAggregator *>(agg)->didSendBodyData(i, sent);
            };
        } else {
            req.onBytes = [agg](qint64 n) { static_cast<ParallelDownloadAggregator *>(agg)->didReceiveData(n); };
        }
        // The request holds the phase's shared part, so the aggregator outlives its last callback.
        req.onDone = [t, host = m_host](const SpeedTransport::Result &r) {
            --t->open;
            QString error = streamError(r, host, t->upload);
            // The time limit ends the measurement of a slow line; it fails only a stream that moved nothing.
            if (r.kind == SpeedTransport::Result::timeLimit && r.bodyBytes > 0)
                error.clear();
            t->aggregator->complete(error.isEmpty() ? std::nullopt : std::optional<QString>(error));
        };
        requests.push_back(std::move(req));
    }
    t->aggregator->expectedStreams = int(requests.size());
    if (requests.empty()) // nothing to wait for
        return endTransfer(run);
    t->aggregator->onAllComplete = [this, run] { post([this, run] { endTransfer(run); }); };
    t->open = int(requests.size());
    m_transport->submit(std::move(requests));
}

void NetworkSpeedTester::endTransfer(quint64 run)
{
    if (run != m_run || !m_transfer)
        return;
    const bool upload = m_transfer->upload;
    const int expected = m_transfer->aggregator->expectedStreams;
    const bool allFailed = m_transfer->aggregator->failedStreams() >= expected;
    const double avg = m_transfer->aggregator->averageMbps();
    dropTransfer();
    if (expected == 0) // the host setting gives no usable address
        setStatus((upload ? QStringLiteral("Eroare upload: ") : QStringLiteral("Eroare download: "))
                  + QStringLiteral("adresa serverului nu este validă"));
    if (allFailed) {
        // Nothing got through: the error stays on screen and no figure pretends otherwise.
        m_runFailed = true;
        setPhase(Idle);
        emit runEnded();
        return;
    }
    if (avg > 0)
        publishAverage(upload, avg);
    if (!upload) {
        setPhase(Upload);
        setStatus(QStringLiteral("Test upload…"));
        beginTransfer(run, true);
        return;
    }
    finishRun(run);
}

void NetworkSpeedTester::finishRun(quint64 run)
{
    if (run != m_run)
        return;
    setPhase(Done);
    const auto known = [](bool has, double v) { return has ? std::optional<double>(v) : std::nullopt; };
    setStatus(SpeedRules::doneText(known(hasDownload(), m_peakDownloadMbps), known(hasUpload(), m_peakUploadMbps),
                                   known(m_hasPing, m_pingMs)));
    emit runEnded();
}

void NetworkSpeedTester::applySample(bool upload, double v)
{
    if (upload) {
        m_uploadMbps = v;
        if (m_peakUploadMbps <= v)
            m_peakUploadMbps = v;
        m_upHistory << v;
    } else {
        m_downloadMbps = v;
        if (m_peakDownloadMbps <= v)
            m_peakDownloadMbps = v;
        m_downHistory << v;
    }
    emit figuresChanged();
}

void NetworkSpeedTester::publishAverage(bool upload, double avg)
{
    applySample(upload, avg);
}

void NetworkSpeedTester::dropTransfer()
{
    if (!m_transfer)
        return;
    // The transfer thread lets go of its requests without calling back; it still holds the
    // phase's shared part until it has.
    m_transport->cancelAll();
    m_transfer.reset();
}

} // namespace corvane
