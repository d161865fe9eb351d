#pragma once
// A sound server that accepts connections and never answers: a listening unix socket that no
// one reads (the kernel queues the connections). Clients find it through PULSE_SERVER.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace corvane::test {

class SilentSoundServer {
public:
    SilentSoundServer()
    {
        const QByteArray path = QFile::encodeName(m_dir.filePath(QStringLiteral("native")));
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.constData(), sizeof addr.sun_path - 1);
        m_listening = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0
            && ::listen(m_fd, 64) == 0;
        qputenv("PULSE_SERVER", "unix:" + path);
    }
    ~SilentSoundServer()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        qunsetenv("PULSE_SERVER");
    }
    bool listening() const { return m_listening; }

private:
    QTemporaryDir m_dir;
    int m_fd = -1;
    bool m_listening = false;
};

} // namespace corvane::test
