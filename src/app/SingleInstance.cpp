#include "app/SingleInstance.h"

#include "common/Log.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QtEndian>

namespace corvane {

namespace {
// A message is a 4-byte big-endian length and that many bytes of a JSON array of strings;
// the answer is one byte.
constexpr char kAck = 'k';
// A client that connects and never finishes its message is dropped after this.
constexpr int kServeTimeoutMs = 5000;

QByteArray encode(const QStringList &arguments)
{
    const QByteArray body = QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact);
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(quint32(body.size()), out.data());
    return out + body;
}
} // namespace

SingleInstance::SingleInstance(const QString &runtimeDir, QObject *parent)
    : QObject(parent),
      m_dir(runtimeDir.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : runtimeDir)
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close(); // removes the socket file, before the lock goes
}

SingleInstance::Role SingleInstance::claim(const QStringList &arguments, int timeoutMs)
{
    if (m_dir.isEmpty() || !QDir().mkpath(m_dir)) {
        qCWarning(lcState) << "No runtime folder; a second launch will not find this instance";
        return Role::Primary;
    }
    m_lock = std::make_unique<QLockFile>(lockPath());
    // Stale only when its process is gone, never by age: a long run is no reason to take over.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        listen();
        return Role::Primary;
    }
    if (m_lock->error() != QLockFile::LockFailedError) {
        // A folder we cannot write must not keep the app from starting.
        qCWarning(lcState) << "Cannot take the instance lock" << lockPath() << "- running without it";
        m_lock.reset();
        return Role::Primary;
    }
    m_lock.reset();
    return handOver(arguments, timeoutMs);
}

void SingleInstance::listen()
{
    // We hold the lock, so a socket file left here belongs to an instance that is gone.
    QLocalServer::removeServer(socketPath());
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath())) {
        qCWarning(lcState) << "Cannot listen on" << socketPath() << m_server->errorString();
        return;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *s = m_server->nextPendingConnection())
            serve(s);
    });
}

void SingleInstance::serve(QLocalSocket *socket)
{
    auto *deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, socket, [socket] { socket->abort(); });
    deadline->start(kServeTimeoutMs);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    auto read = [this, socket] {
        if (socket->bytesAvailable() < 4)
            return;
        QByteArray head = socket->peek(4);
        const quint32 length = qFromBigEndian<quint32>(head.constData());
        if (length > kMaxMessageBytes) {
            socket->abort();
            return;
        }
        if (socket->bytesAvailable() < 4 + qint64(length))
            return;
        socket->read(4);
        const QJsonDocument doc = QJsonDocument::fromJson(socket->read(length));
        QStringList arguments;
        if (doc.isArray()) {
            for (const QJsonValue &v : doc.array())
                if (v.isString())
                    arguments << v.toString();
        }
        socket->disconnect(this); // one message per connection
        emit argumentsReceived(arguments);
        socket->write(&kAck, 1);
        socket->disconnectFromServer();
    };
    connect(socket, &QLocalSocket::readyRead, this, read);
    read();
}

SingleInstance::Role SingleInstance::handOver(const QStringList &arguments, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The instance takes the lock a moment before it listens: try again until it does.
    for (;;) {
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        if (deadline.hasExpired())
            return Role::NoAnswer;
        QThread::msleep(50);
    }
    socket.write(encode(arguments));
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(int(qMax<qint64>(1, deadline.remainingTime()))))
            return Role::NoAnswer;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            return Role::NoAnswer;
    char answer = 0;
    socket.read(&answer, 1);
    return answer == kAck ? Role::HandedOver : Role::NoAnswer;
}

} // namespace corvane
