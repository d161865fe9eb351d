#include "checks/NetworkSpeedTester.h"

#include "common/Numbers.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QSslConfiguration>
#include <QUrl>

#include <algorithm>
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

QString SpeedRules::doneText(double peakDown, double peakUp, double pingMs)
{
    return QStringLiteral("Done · ↓ %1 Mbps · ↑ %2 Mbps · %3 ms")
        .arg(printfFixed(peakDown, 1), printfFixed(peakUp, 1), printfFixed(pingMs, 0));
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

struct NetworkSpeedTester::Transfer {
    bool upload = false;
    std::unique_ptr<QNetworkAccessManager> session;
    std::unique_ptr<TransferAggregator> aggregator;
    QList<QPointer<QNetworkReply>> replies;
    QByteArray body;
};

QString NetworkSpeedTester::rawValue(Phase p)
{
    switch (p) {
    case Phase::idle: return QStringLiteral("Standby");
    case Phase::ping: return QStringLiteral("Ping");
    case Phase::download: return QStringLiteral("Download");
    case Phase::upload: return QStringLiteral("Upload");
    case Phase::done: return QStringLiteral("Finalizat");
    }
    return {};
}

NetworkSpeedTester::NetworkSpeedTester(QObject *parent) : NetworkSpeedTester(Clock::system(), parent) {}

NetworkSpeedTester::NetworkSpeedTester(const Clock &clock, QObject *parent)
    : QObject(parent), m_clock(clock), m_probeSession(new QNetworkAccessManager(this)),
      m_status(QStringLiteral("Apasă START pentru test")),
      m_host(QSettings().value(QStringLiteral("speedtest.host"), QString::fromLatin1(kDefaultHost)).toString())
{
}

NetworkSpeedTester::~NetworkSpeedTester()
{
    ++m_run;
    if (m_pingReply)
        m_pingReply->abort();
    dropTransfer();
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
    if (!m_transfer)
        return 0;
    return int(std::count_if(m_transfer->replies.begin(), m_transfer->replies.end(),
                             [](const QPointer<QNetworkReply> &r) { return r && r->isRunning(); }));
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

QNetworkRequest NetworkSpeedTester::request(const QString &pathAndQuery) const
{
    QNetworkRequest req(QUrl(QStringLiteral("https://") + m_host + pathAndQuery, QUrl::StrictMode));
    req.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    req.setTransferTimeout(m_timeoutMs);
    if (!m_extraCa.isEmpty()) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.addCaCertificates(m_extraCa);
        req.setSslConfiguration(ssl);
    }
    return req;
}

void NetworkSpeedTester::start()
{
    if (m_phase != Phase::idle && m_phase != Phase::done)
        return;
    const quint64 run = ++m_run;
    m_runFailed = false;
    m_downloadMbps = m_uploadMbps = m_pingMs = m_peakDownloadMbps = m_peakUploadMbps = 0;
    m_downHistory.clear();
    m_upHistory.clear();
    emit figuresChanged();
    setPhase(Phase::ping);
    setStatus(QStringLiteral("Măsurare ping…"));
    m_pingSamples.clear();
    m_pingAttempts = 0;
    sendPing(run);
}

void NetworkSpeedTester::cancel()
{
    const Phase was = m_phase;
    ++m_run; // every callback of the stopped run is dropped from here on
    if (m_pingReply)
        m_pingReply->abort();
    if (was == Phase::ping) {
        if (const auto mean = SpeedRules::trimmedPingMean(m_pingSamples)) {
            m_pingMs = *mean;
            emit figuresChanged();
        }
    }
    if (m_transfer) {
        const double avg = m_transfer->aggregator->averageMbps();
        const bool upload = m_transfer->upload;
        dropTransfer();
        if (avg > 0)
            publishAverage(upload, avg);
    }
    setPhase(Phase::idle);
    setStatus(QStringLiteral("Test oprit"));
    if (was != Phase::idle && was != Phase::done)
        emit runEnded();
}

void NetworkSpeedTester::sendPing(quint64 run)
{
    if (run != m_run)
        return;
    if (m_pingAttempts >= m_pingCount)
        return finishPing(run);
    const QNetworkRequest req = request(QStringLiteral("/cdn-cgi/trace"));
    if (!req.url().isValid())
        return finishPing(run);
    ++m_pingAttempts;
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    QNetworkReply *reply = m_probeSession->get(req);
    m_pingReply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply, run, timer] {
        reply->deleteLater();
        if (run != m_run)
            return;
        const double ms = double(timer->nsecsElapsed()) / 1e6;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // A probe that failed measured nothing about the round trip.
        if (reply->error() == QNetworkReply::NoError && status >= 200 && status < 300)
            m_pingSamples << ms;
        sendPing(run);
    });
}

void NetworkSpeedTester::finishPing(quint64 run)
{
    if (const auto mean = SpeedRules::trimmedPingMean(m_pingSamples)) {
        m_pingMs = *mean;
        emit figuresChanged();
    }
    setPhase(Phase::download);
    setStatus(QStringLiteral("Test download…"));
    beginTransfer(run, false);
}

QString NetworkSpeedTester::streamError(QNetworkReply *reply) const
{
    const QVariant statusAttr = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (statusAttr.isValid()) {
        const int status = statusAttr.toInt();
        if (status < 200 || status >= 300)
            return QStringLiteral("serverul a răspuns HTTP %1").arg(status);
    }
    switch (reply->error()) {
    case QNetworkReply::NoError: return {};
    case QNetworkReply::ConnectionRefusedError: return QStringLiteral("conexiune refuzată de server");
    case QNetworkReply::RemoteHostClosedError: return QStringLiteral("serverul a închis conexiunea");
    case QNetworkReply::HostNotFoundError: return QStringLiteral("serverul nu a fost găsit");
    // Our own stops never get here, so a cancelled transfer is the inactivity timeout.
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TimeoutError: return QStringLiteral("serverul nu mai răspunde (timp de așteptare depășit)");
    case QNetworkReply::SslHandshakeFailedError: return QStringLiteral("conexiunea securizată a eșuat");
    default: return reply->errorString();
    }
}

void NetworkSpeedTester::beginTransfer(quint64 run, bool upload)
{
    dropTransfer();
    m_transfer = std::make_unique<Transfer>();
    Transfer &t = *m_transfer;
    t.upload = upload;
    t.session = std::make_unique<QNetworkAccessManager>();
    auto onSample = [this, run, upload](double v) {
        if (run == m_run)
            applySample(upload, v);
    };
    auto onError = [this, run, upload](const QString &e) {
        if (run == m_run)
            setStatus((upload ? QStringLiteral("Eroare upload: ") : QStringLiteral("Eroare download: ")) + e);
    };
    if (upload)
        t.aggregator = std::make_unique<ParallelUploadAggregator>(onSample, onError, m_clock);
    else
        t.aggregator = std::make_unique<ParallelDownloadAggregator>(onSample, onError, m_clock);

    QList<QNetworkRequest> requests;
    const int streams = upload ? kUploadStreams : kDownloadStreams;
    for (int i = 0; i < streams; ++i) {
        const QString path = upload ? QStringLiteral("/__up?n=%1").arg(i)
                                    : QStringLiteral("/__down?bytes=%1&n=%2").arg(m_downloadBytes).arg(i);
        QNetworkRequest req = request(path);
        if (!req.url().isValid())
            continue;
        if (upload)
            req.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/octet-stream"));
        requests << req;
    }
    t.aggregator->expectedStreams = int(requests.size());
    if (requests.isEmpty()) // nothing to wait for
        return endTransfer(run);
    t.aggregator->onAllComplete = [this, run] {
        // Called from a reply's finished(); leave that call before tearing the phase down.
        QMetaObject::invokeMethod(this, [this, run] { endTransfer(run); }, Qt::QueuedConnection);
    };
    if (upload)
        t.body = QByteArray(SpeedRules::uploadStreamBytes(m_uploadBytes), '\0');

    for (int i = 0; i < requests.size(); ++i) {
        QNetworkReply *reply = upload ? t.session->post(requests[i], t.body) : t.session->get(requests[i]);
        t.replies << reply;
        TransferAggregator *agg = t.aggregator.get();
        if (upload) {
            connect(reply, &QNetworkReply::uploadProgress, this, [agg, i](qint64 sent, qint64) {
                static_cast<ParallelUploadAggregator *>(agg)->didSendBodyData(i, sent);
            });
        } else {
            reply->setReadBufferSize(4 << 20);
            connect(reply, &QNetworkReply::readyRead, this, [agg, reply] {
                const qint64 n = reply->skip(reply->bytesAvailable());
                if (n > 0)
                    static_cast<ParallelDownloadAggregator *>(agg)->didReceiveData(n);
            });
        }
        connect(reply, &QNetworkReply::finished, this, [this, run, agg, reply, upload] {
            if (run != m_run)
                return;
            if (!upload) {
                const qint64 rest = reply->skip(reply->bytesAvailable());
                if (rest > 0)
                    static_cast<ParallelDownloadAggregator *>(agg)->didReceiveData(rest);
            }
            const QString error = streamError(reply);
            agg->complete(error.isEmpty() ? std::nullopt : std::optional<QString>(error));
        });
    }
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
        setPhase(Phase::idle);
        emit runEnded();
        return;
    }
    if (avg > 0)
        publishAverage(upload, avg);
    if (!upload) {
        setPhase(Phase::upload);
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
    setPhase(Phase::done);
    setStatus(SpeedRules::doneText(m_peakDownloadMbps, m_peakUploadMbps, m_pingMs));
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
    std::unique_ptr<Transfer> t = std::move(m_transfer);
    for (const QPointer<QNetworkReply> &r : t->replies) {
        if (!r)
            continue;
        r->disconnect(this);
        r->abort();
        r->deleteLater();
    }
    // The session owns the replies; let it go once their deferred deletes have run.
    QNetworkAccessManager *session = t->session.release();
    session->deleteLater();
}

} // namespace corvane
