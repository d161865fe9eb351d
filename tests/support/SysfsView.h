#pragma once
// libsensors reads only /sys. To feed it a fixture tree, `body` runs in a child process with a
// private mount namespace in which the tree's class/, devices/ and bus/ folders stand in for
// /sys's. Needs the right to mount (root); without it the result is nullopt (the test skips).
#include <QDir>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corvane::test {

inline std::optional<QStringList> underSysfs(const QString &root, const std::function<QStringList()> &body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    const pid_t pid = ::fork();
    if (pid < 0)
        return std::nullopt;
    if (pid == 0) {
        ::close(fds[0]);
        if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            ::_exit(77);
        for (const char *part : {"class", "devices", "bus"}) {
            const QString from = root + QLatin1Char('/') + QLatin1String(part);
            if (QDir(from).exists()
                && ::mount(from.toLocal8Bit().constData(), (std::string("/sys/") + part).c_str(), nullptr, MS_BIND,
                           nullptr)
                    != 0)
                ::_exit(77);
        }
        const QByteArray out = body().join(QLatin1Char('\n')).toUtf8();
        for (qsizetype done = 0; done < out.size();) {
            const ssize_t n = ::write(fds[1], out.constData() + done, static_cast<size_t>(out.size() - done));
            if (n <= 0)
                ::_exit(1);
            done += n;
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray got;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) != 0;)
        if (n > 0)
            got.append(buf, n);
        else if (errno != EINTR)
            break;
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        return std::nullopt;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QStringList{QStringLiteral("child process failed, status %1").arg(status)};
    return got.isEmpty() ? QStringList() : QString::fromUtf8(got).split(QLatin1Char('\n'));
}

} // namespace corvane::test
