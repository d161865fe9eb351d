#pragma once
// One instance per user. The first launch holds a lock file in the user's runtime folder
// and listens on a local socket beside it; a later launch finds the lock held, hands its
// arguments to that instance over the socket and ends. A lock left by a crashed instance is
// recognised by its dead process and taken over, and the socket it left is replaced.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QStringList>

#include <memory>

namespace corvane {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        Primary,    // this process is the instance (also when no lock could be made at all)
        HandedOver, // the running instance took the arguments: this process should end
        NoAnswer,   // an instance holds the lock but did not take them in time
    };

    // `runtimeDir` empty: the user's runtime folder.
    explicit SingleInstance(const QString &runtimeDir = {}, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Becomes the instance, or hands `arguments` (the program path first) to the running
    // one and waits up to `timeoutMs` for it to confirm. Blocks; call before any window.
    Role claim(const QStringList &arguments, int timeoutMs = 5000);

    QString socketPath() const { return m_dir + QStringLiteral("/corvane.sock"); }
    QString lockPath() const { return m_dir + QStringLiteral("/corvane.lock"); }
    bool isListening() const { return m_server && m_server->isListening(); }

    // Largest message a launch may send; anything longer is dropped unread.
    static constexpr qint64 kMaxMessageBytes = 64 * 1024;

signals:
    // In the running instance: a later launch's arguments, the program path first.
    void argumentsReceived(const QStringList &arguments);

private:
    void listen();
    void serve(class QLocalSocket *socket);
    Role handOver(const QStringList &arguments, int timeoutMs);

    QString m_dir;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace corvane
