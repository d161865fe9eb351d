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

#include <sys/socket.h>

#include <algorithm>

namespace corvane::test {

struct LoopbackSpeedServer::Shared {
    LoopbackSpeedServer *owner = nullptr;
    QMutex lock;
    Faults faults;
    std::atomic<int> uploads{0};
    std::atomic<int> open{0};
    Faults currentFaults()
    {
        QMutexLocker l(&lock);
        return faults;
    }
};

namespace {

// One client connection: parses one request, then streams or swallows the body at the cap.
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
        m_pump.setInterval(4);
        connect(&m_pump, &QTimer::timeout, this, &Connection::pump);
        ++m_shared->open;
        onRead();
    }
    ~Connection() override { --m_shared->open; }

private:
    enum class Mode { header, download, upload, idle };

    qint64 allowance()
    {
        const qint64 cap = m_cap.load();
        if (cap <= 0)
            return 1 << 20;
        const double dt = double(m_clock.nsecsElapsed()) / 1e9;
        m_clock.restart();
        m_budget = std::min(m_budget + double(cap) * dt, double(cap) * 0.02 + 16384.0);
        return qint64(m_budget);
    }

    void respond(int status, const QByteArray &body)
    {
        const QByteArray reason = status == 200 ? "OK" : "Internal Server Error";
        m_socket->write("HTTP/1.1 " + QByteArray::number(status) + " " + reason + "\r\nContent-Type: text/plain\r\n"
                        "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        m_socket->disconnectFromHost();
        m_mode = Mode::idle;
    }

    void onRead()
    {
        if (m_mode == Mode::upload) {
            pump();
            return;
        }
        if (m_mode != Mode::header)
            return;
        m_header += m_socket->read(qint64(64 * 1024));
        const qsizetype end = m_header.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = m_header.left(end);
        m_leftover = m_header.mid(end + 4);
        const QList<QByteArray> lines = head.split('\n');
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
        if (url.path() == QLatin1String("/cdn-cgi/trace")) {
            ++m_traces;
            const int delay = m_faults.traceDelayMs;
            const bool fails = m_faults.traceFails;
            QTimer::singleShot(delay, this, [this, fails] {
                respond(fails ? 500 : 200, fails ? QByteArray("error") : QByteArray("fl=1\nh=127.0.0.1\nip=127.0.0.1\n"));
            });
            m_mode = Mode::idle;
            return;
        }
        ++m_transfers;
        if (m_faults.status500) {
            respond(500, "error");
            return;
        }
        if (method == "GET" && url.path() == QLatin1String("/__down")) {
            m_toSend = QUrlQuery(url).queryItemValue(QStringLiteral("bytes")).toLongLong();
            m_socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: "
                            + QByteArray::number(m_toSend) + "\r\nConnection: close\r\n\r\n");
            m_mode = Mode::download;
            m_pump.start();
            return;
        }
        if (method == "POST" && url.path() == QLatin1String("/__up")) {
            ++m_shared->uploads;
            m_toReceive = contentLength - m_leftover.size();
            m_received += m_leftover.size();
            m_mode = Mode::upload;
            m_pump.start();
            pump();
            return;
        }
        respond(404, "not found");
    }

    void pump()
    {
        if (m_mode == Mode::download) {
            if (m_socket->bytesToWrite() > 128 * 1024)
                return;
            qint64 n = std::min(allowance(), m_toSend);
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
            if (m_toSend == 0) {
                m_pump.stop();
                m_mode = Mode::idle;
                m_socket->disconnectFromHost();
            }
            return;
        }
        if (m_mode == Mode::upload) {
            const qint64 n = std::min({allowance(), m_toReceive, m_socket->bytesAvailable()});
            if (n > 0) {
                const QByteArray got = m_socket->read(n);
                m_budget -= double(got.size());
                m_toReceive -= got.size();
                m_received += got.size();
            }
            if (m_toReceive <= 0) {
                m_pump.stop();
                respond(200, "ok");
            }
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
    QByteArray m_header, m_leftover;
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
                   "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
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
    // The server and its connections live on the server's thread.
    auto *server = new QSslServer;
    QSslConfiguration cfg = QSslConfiguration::defaultConfiguration();
    cfg.setLocalCertificate(m_cert);
    cfg.setPrivateKey(key);
    cfg.setPeerVerifyMode(QSslSocket::VerifyNone);
    server->setSslConfiguration(cfg);
    server->setHandshakeTimeout(10000);
    if (!server->listen(QHostAddress::LocalHost, 0)) {
        m_error = server->errorString();
        delete server;
        return;
    }
    m_port = server->serverPort();
    server->moveToThread(&m_thread);
    Shared *shared = m_shared.get();
    QObject::connect(server, &QTcpServer::pendingConnectionAvailable, server, [this, server, shared] {
        while (server->hasPendingConnections()) {
            auto *socket = qobject_cast<QSslSocket *>(server->nextPendingConnection());
            if (!socket)
                continue;
            socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 128 * 1024);
            new Connection(socket, this, shared, m_cap, m_traces, m_transfers, m_received);
        }
    });
    m_server = server;
}

LoopbackSpeedServer::~LoopbackSpeedServer()
{
    if (m_server)
        QMetaObject::invokeMethod(m_server, [server = m_server] { delete server; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
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

int LoopbackSpeedServer::uploadRequests() const
{
    return m_shared->uploads;
}

int LoopbackSpeedServer::openConnections() const
{
    return m_shared->open;
}

} // namespace corvane::test
