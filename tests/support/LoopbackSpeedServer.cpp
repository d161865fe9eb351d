#include "support/LoopbackSpeedServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QPointer>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>

#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>

namespace corvane::test {

struct LoopbackSpeedServer::Shared {
    LoopbackSpeedServer *owner = nullptr;
    QMutex lock;
    Faults faults;
    std::atomic<int> uploads{0};
    std::atomic<qint64> traceSent{0};
    std::atomic<int> downs{0}, ups{0}, maxDowns{0}, maxUps{0};
    static void enter(std::atomic<int> &now, std::atomic<int> &most)
    {
        const int n = ++now;
        int m = most.load();
        while (n > m && !most.compare_exchange_weak(m, n)) {
        }
    }
    std::atomic<int> open{0}, accepted{0};
    QMutex logLock;
    std::vector<LogEntry> upLog;
    qint64 upTotal = 0;
    void logUpload(qint64 n)
    {
        const qint64 ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                              std::chrono::steady_clock::now().time_since_epoch()).count();
        QMutexLocker l(&logLock);
        upTotal += n;
        upLog.push_back({ns, upTotal});
    }
    Faults currentFaults()
    {
        QMutexLocker l(&lock);
        return faults;
    }
};

namespace {

// One client connection: parses a request, streams or swallows its body at the cap, answers,
// and waits for the next request on the same connection.
class Connection : public QObject {
public:
    Connection(QSslSocket *s, LoopbackSpeedServer *owner, LoopbackSpeedServer::Shared *shared,
               std::atomic<qint64> &cap, std::atomic<int> &traces, std::atomic<int> &transfers,
               std::atomic<qint64> &received)
        : QObject(s), m_socket(s), m_owner(owner), m_shared(shared), m_cap(cap), m_traces(traces),
          m_transfers(transfers), m_received(received)
    {
        m_socket->setReadBufferSize(64 * 1024);
        connect(m_socket, &QIODevice::readyRead, this, &Connection::onRead);
        connect(m_socket, &QAbstractSocket::disconnected, m_socket, &QObject::deleteLater);
        m_pump.setTimerType(Qt::PreciseTimer);
        m_pump.setInterval(2);
        connect(&m_pump, &QTimer::timeout, this, &Connection::pump);
        ++m_shared->open;
        ++m_shared->accepted;
        onRead();
    }
    ~Connection() override
    {
        --m_shared->open;
        leave();
    }

private:
    enum class Mode { header, download, upload, endless, trickle, idle };

    qint64 allowance(qint64 cap)
    {
        if (cap <= 0)
            return 1 << 20;
        const double dt = double(m_clock.nsecsElapsed()) / 1e9;
        m_clock.restart();
        m_budget = std::min(m_budget + double(cap) * dt, double(cap) * 0.003 + 4096.0);
        return qint64(m_budget);
    }

    // Like a capped link, not a capped writer: while the client is not taking the bytes, no
    // backlog builds up to reach it at loopback speed once it does.
    bool linkBusy()
    {
        int unsent = 0;
        ::ioctl(int(m_socket->socketDescriptor()), SIOCOUTQ, &unsent);
        return m_socket->bytesToWrite() + m_socket->encryptedBytesToWrite() + unsent > 16 * 1024;
    }

    static QByteArray reason(int status)
    {
        switch (status) {
        case 200: return "OK";
        case 404: return "Not Found";
        case 503: return "Service Unavailable";
        default: return "Internal Server Error";
        }
    }

    static QByteArray answer(int status, const QByteArray &body, bool close)
    {
        return "HTTP/1.1 " + QByteArray::number(status) + " " + reason(status) + "\r\nContent-Type: text/plain\r\n"
               "Content-Length: " + QByteArray::number(body.size()) + "\r\n" + (close ? "Connection: close\r\n" : "")
               + "\r\n" + body;
    }

    bool closes(int status) const { return status != 200 || m_faults.closeAfterReply; }

    void respond(int status, const QByteArray &body)
    {
        m_socket->write(answer(status, body, closes(status)));
        endRequest(!closes(status));
    }

    // The request is answered: the connection waits for the next one, or closes.
    void endRequest(bool keepAlive)
    {
        m_pump.stop();
        leave();
        if (!keepAlive) {
            m_mode = Mode::idle;
            m_socket->disconnectFromHost();
            return;
        }
        m_mode = Mode::header;
        m_header.clear();
        // A next request already buffered raises no new readyRead.
        QMetaObject::invokeMethod(this, &Connection::onRead, Qt::QueuedConnection);
    }

    void leave()
    {
        if (m_counted)
            --*m_counted;
        m_counted = nullptr;
    }

    void onRead()
    {
        if (m_mode == Mode::upload) {
            pump();
            return;
        }
        if (m_mode != Mode::header || !m_socket)
            return;
        // Line by line, so no body byte is taken with the header.
        bool complete = false;
        while (!complete && m_socket->canReadLine() && m_header.size() < 64 * 1024) {
            const QByteArray line = m_socket->readLine(64 * 1024);
            complete = line == "\r\n" || line == "\n";
            m_header += line;
        }
        if (!complete)
            return;
        const QList<QByteArray> lines = m_header.trimmed().split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        const QByteArray method = first.value(0);
        const QUrl url(QString::fromLatin1("https://x" + first.value(1)));
        qint64 contentLength = 0;
        for (const QByteArray &l : lines) {
            if (l.toLower().startsWith("content-length:"))
                contentLength = l.mid(15).trimmed().toLongLong();
        }
        m_faults = m_shared->currentFaults();
        m_clock.start();
        m_budget = 0;
        if (url.path() == QLatin1String("/cdn-cgi/trace")) {
            ++m_traces;
            if (m_faults.traceEndlessBody || m_faults.traceEndlessHeaders) {
                writeTrace(m_faults.traceEndlessBody ? "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n"
                                                     : "HTTP/1.1 200 OK\r\n");
                m_endlessLine = m_faults.traceEndlessBody ? QByteArray(16 * 1024, 'x')
                                                          : "X-Padding: " + QByteArray(1000, 'a') + "\r\n";
                m_mode = Mode::endless;
                m_pump.start();
                return;
            }
            const int status = m_faults.traceStatus ? m_faults.traceStatus : m_faults.traceFails ? 500 : 200;
            const QByteArray body = status == 200 ? QByteArray("fl=1\nh=127.0.0.1\nip=127.0.0.1\n") : QByteArray("error");
            if (m_faults.traceWriteRate > 0) {
                m_trickle = answer(status, body, closes(status));
                m_trickleKeep = !closes(status);
                m_mode = Mode::trickle;
                m_pump.start();
                return;
            }
            m_mode = Mode::idle;
            QTimer::singleShot(m_faults.traceDelayMs, this, [this, status, body] { respond(status, body); });
            return;
        }
        ++m_transfers;
        if (m_faults.status500) {
            respond(500, "error");
            return;
        }
        if (!m_faults.redirectTo.isEmpty()) {
            m_socket->write("HTTP/1.1 302 Found\r\nLocation: " + m_faults.redirectTo
                            + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            endRequest(false);
            return;
        }
        if (method == "GET" && url.path() == QLatin1String("/__down")) {
            m_toSend = QUrlQuery(url).queryItemValue(QStringLiteral("bytes")).toLongLong();
            if (m_faults.downloadBodyBytes >= 0)
                m_toSend = std::min(m_toSend, m_faults.downloadBodyBytes);
            m_sent = 0;
            m_counted = &m_shared->downs;
            LoopbackSpeedServer::Shared::enter(m_shared->downs, m_shared->maxDowns);
            m_socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: "
                            + QByteArray::number(m_toSend) + "\r\n"
                            + (m_faults.closeAfterReply ? "Connection: close\r\n" : "") + "\r\n");
            m_mode = Mode::download;
            m_pump.start();
            return;
        }
        if (method == "POST" && url.path() == QLatin1String("/__up")) {
            ++m_shared->uploads;
            m_counted = &m_shared->ups;
            LoopbackSpeedServer::Shared::enter(m_shared->ups, m_shared->maxUps);
            m_toReceive = contentLength;
            m_mode = Mode::upload;
            m_pump.start();
            pump();
            return;
        }
        respond(404, "not found");
    }

    void writeTrace(const QByteArray &bytes)
    {
        m_socket->write(bytes);
        m_shared->traceSent += bytes.size();
    }

    void pump()
    {
        if (!m_socket)
            return;
        if (m_mode == Mode::endless) {
            // As fast as the client takes it, for ever.
            while (m_socket->bytesToWrite() < 256 * 1024)
                writeTrace(m_endlessLine);
            return;
        }
        if (m_mode == Mode::trickle) {
            const qint64 n = std::min<qint64>(allowance(m_faults.traceWriteRate), m_trickle.size());
            if (n > 0) {
                writeTrace(m_trickle.left(n));
                m_socket->flush();
                m_trickle.remove(0, n);
                m_budget -= double(n);
            }
            if (m_trickle.isEmpty())
                endRequest(m_trickleKeep);
            return;
        }
        if (m_mode == Mode::download) {
            if (m_cap.load() > 0 && linkBusy()) {
                m_clock.restart(); // a stalled link's time is not owed to it afterwards
                return;
            }
            if (m_socket->bytesToWrite() > 128 * 1024)
                return;
            qint64 n = std::min(allowance(m_cap.load()), m_toSend);
            if (m_faults.resetAfterBytes >= 0)
                n = std::min(n, m_faults.resetAfterBytes - m_sent);
            if (m_faults.stallAfterBytes >= 0)
                n = std::min(n, m_faults.stallAfterBytes - m_sent);
            if (n > 0) {
                static const QByteArray zeros(1 << 20, '\0');
                qint64 left = n;
                while (left > 0) {
                    const qint64 k = std::min<qint64>(left, zeros.size());
                    m_socket->write(zeros.constData(), k);
                    left -= k;
                }
                m_budget -= double(n);
                m_socket->flush(); // on the wire now, not when this thread next gets round to it
                m_sent += n;
                m_toSend -= n;
            }
            if (m_faults.resetAfterBytes >= 0 && m_sent >= m_faults.resetAfterBytes) {
                m_socket->flush();
                // A hard reset, as a dropped link or a crashed server gives.
                const qintptr fd = m_socket->socketDescriptor();
                struct linger lg { 1, 0 };
                ::setsockopt(int(fd), SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
                m_pump.stop();
                m_mode = Mode::idle;
                m_socket->abort();
                return;
            }
            if (m_toSend == 0)
                endRequest(!m_faults.closeAfterReply);
            return;
        }
        if (m_mode == Mode::upload) {
            // A slow reader with a full buffer reads no end of stream: a client that gave up
            // is seen here, as a real server sees it once it gets there.
            pollfd p{int(m_socket->socketDescriptor()), POLLRDHUP, 0};
            if (::poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR))) {
                m_pump.stop();
                m_mode = Mode::idle;
                m_socket->abort();
                return;
            }
            const qint64 rate = m_faults.uploadReadRate >= 0 ? m_faults.uploadReadRate : m_cap.load();
            const qint64 n = std::min({allowance(rate), m_toReceive, m_socket->bytesAvailable()});
            if (n > 0) {
                const QByteArray got = m_socket->read(n);
                m_budget -= double(got.size());
                m_toReceive -= got.size();
                m_received += got.size();
                m_shared->logUpload(got.size());
            }
            if (m_toReceive <= 0)
                respond(200, "ok");
        }
    }

    QPointer<QSslSocket> m_socket;
    LoopbackSpeedServer *m_owner;
    LoopbackSpeedServer::Shared *m_shared;
    std::atomic<qint64> &m_cap;
    std::atomic<int> &m_traces;
    std::atomic<int> &m_transfers;
    std::atomic<qint64> &m_received;
    Mode m_mode = Mode::header;
    QByteArray m_header, m_endlessLine, m_trickle;
    bool m_trickleKeep = false;
    std::atomic<int> *m_counted = nullptr;
    LoopbackSpeedServer::Faults m_faults;
    qint64 m_toSend = 0, m_sent = 0, m_toReceive = 0;
    double m_budget = 0;
    QElapsedTimer m_clock;
    QTimer m_pump;
};

} // namespace

LoopbackSpeedServer::LoopbackSpeedServer() : m_shared(std::make_shared<Shared>())
{
    m_shared->owner = this;
    QTemporaryDir dir;
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                   "-keyout", dir.filePath("key.pem"), "-out", dir.filePath("cert.pem"), "-days", "1",
                   "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost"});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
        m_error = QStringLiteral("openssl failed: ") + QString::fromLocal8Bit(openssl.readAllStandardError());
        return;
    }
    QFile certFile(dir.filePath("cert.pem")), keyFile(dir.filePath("key.pem"));
    certFile.open(QIODevice::ReadOnly);
    keyFile.open(QIODevice::ReadOnly);
    m_cert = QSslCertificate(certFile.readAll(), QSsl::Pem);
    const QSslKey key(keyFile.readAll(), QSsl::Ec, QSsl::Pem);
    if (m_cert.isNull() || key.isNull()) {
        m_error = QStringLiteral("certificate or key unreadable");
        return;
    }

    m_thread.setObjectName(QStringLiteral("speed-server"));
    m_thread.start();
    // The servers and their connections live on the server's thread.
    QSslConfiguration cfg = QSslConfiguration::defaultConfiguration();
    cfg.setLocalCertificate(m_cert);
    cfg.setPrivateKey(key);
    cfg.setPeerVerifyMode(QSslSocket::VerifyNone);
    Shared *shared = m_shared.get();
    auto open = [&](const QHostAddress &address, quint16 port) -> QObject * {
        auto *server = new QSslServer;
        server->setSslConfiguration(cfg);
        server->setHandshakeTimeout(10000);
        if (!server->listen(address, port)) {
            if (port == 0)
                m_error = server->errorString();
            delete server;
            return nullptr;
        }
        m_port = server->serverPort();
        server->moveToThread(&m_thread);
        QObject::connect(server, &QTcpServer::pendingConnectionAvailable, server, [this, server, shared] {
            while (server->hasPendingConnections()) {
                auto *socket = qobject_cast<QSslSocket *>(server->nextPendingConnection());
                if (!socket)
                    continue;
                socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 128 * 1024);
                new Connection(socket, this, shared, m_cap, m_traces, m_transfers, m_received);
            }
        });
        return server;
    };
    m_server = open(QHostAddress::LocalHost, 0);
    // "localhost" may resolve to either family: answer on both where the machine has IPv6.
    if (m_server)
        m_server6 = open(QHostAddress::LocalHostIPv6, m_port);
}

LoopbackSpeedServer::~LoopbackSpeedServer()
{
    for (QObject *server : {m_server, m_server6}) {
        if (server)
            QMetaObject::invokeMethod(server, [server] { delete server; }, Qt::BlockingQueuedConnection);
    }
    m_thread.quit();
    m_thread.wait();
}

void LoopbackSpeedServer::closeConnections()
{
    for (QObject *server : {m_server, m_server6}) {
        if (server)
            QMetaObject::invokeMethod(server, [server] {
                for (QSslSocket *s : server->findChildren<QSslSocket *>(Qt::FindDirectChildrenOnly))
                    s->abort();
            }, Qt::BlockingQueuedConnection);
    }
}

void LoopbackSpeedServer::setFaults(const Faults &f)
{
    QMutexLocker l(&m_shared->lock);
    m_shared->faults = f;
}

quint16 LoopbackSpeedServer::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

qint64 LoopbackSpeedServer::traceBytesSent() const
{
    return m_shared->traceSent;
}

int LoopbackSpeedServer::maxConcurrentDownloads() const
{
    return m_shared->maxDowns;
}

int LoopbackSpeedServer::maxConcurrentUploads() const
{
    return m_shared->maxUps;
}

void LoopbackSpeedServer::resetCounters()
{
    m_shared->traceSent = 0;
    m_shared->maxDowns = m_shared->downs.load();
    m_shared->maxUps = m_shared->ups.load();
    m_traces = 0;
    m_transfers = 0;
    m_received = 0;
    m_shared->uploads = 0;
    m_shared->accepted = 0;
    QMutexLocker l(&m_shared->logLock);
    m_shared->upLog.clear();
    m_shared->upTotal = 0;
}

std::vector<LoopbackSpeedServer::LogEntry> LoopbackSpeedServer::uploadLog() const
{
    QMutexLocker l(&m_shared->logLock);
    return m_shared->upLog;
}

int LoopbackSpeedServer::uploadRequests() const
{
    return m_shared->uploads;
}

int LoopbackSpeedServer::openConnections() const
{
    return m_shared->open;
}

int LoopbackSpeedServer::acceptedConnections() const
{
    return m_shared->accepted;
}

} // namespace corvane::test
