#include "platform/ReportFiles.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {
QDateTime fromTimespec(const struct timespec &t)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000);
}
} // namespace

FolderListing listFolder(const QString &folder)
{
    return listFolder(QFile::encodeName(folder));
}

FolderListing listFolder(const QByteArray &dirPath)
{
    FolderListing out;
    const QString folder = QFile::decodeName(dirPath);
    const int dfd = ::open(dirPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) {
        out.error = errno;
        return out;
    }
    DIR *dir = ::fdopendir(dfd);
    if (!dir) {
        out.error = errno;
        ::close(dfd);
        return out;
    }
    for (;;) {
        errno = 0;
        const dirent *e = ::readdir(dir);
        if (!e) {
            out.error = errno; // 0 at the end; else a folder that stopped answering part way
            break;
        }
        if (e->d_name[0] == '.')
            continue;
        FolderItem item;
        item.name = QFile::decodeName(e->d_name);
        item.path = folder + QLatin1Char('/') + item.name;
        item.nativePath = dirPath + '/' + QByteArray(e->d_name);
        struct stat st {};
        if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            item.isFolder = S_ISDIR(st.st_mode);
            item.modified = fromTimespec(st.st_mtim);
            item.size = st.st_size;
            item.mtimeNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
            item.inode = st.st_ino;
            item.device = st.st_dev;
        }
        out.items.push_back(std::move(item));
    }
    ::closedir(dir);
    return out;
}

std::optional<FileHead> readRegularFile(const QString &path, qint64 limit)
{
    return readRegularFile(QFile::encodeName(path), limit);
}

std::optional<FileHead> readRegularFile(const QByteArray &p, qint64 limit)
{
    const int fd = ::open(p.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    FileHead head;
    head.size = st.st_size;
    head.inode = st.st_ino;
    head.device = st.st_dev;
    const qint64 cap = std::max<qint64>(0, limit);
    head.bytes.resize(cap);
    qint64 got = 0;
    bool failed = false;
    while (got < cap) {
        const ssize_t n = ::read(fd, head.bytes.data() + got, size_t(cap - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            failed = true;
            break;
        }
        if (n == 0)
            break;
        got += n;
    }
    if (!failed && got == cap) {
        char probe;
        ssize_t n;
        do
            n = ::read(fd, &probe, 1);
        while (n < 0 && errno == EINTR);
        head.truncated = n > 0;
    }
    ::close(fd);
    if (failed)
        return std::nullopt;
    head.bytes.resize(got);
    return head;
}

bool isSameRegularFile(const QByteArray &nativePath, quint64 device, quint64 inode)
{
    struct stat st {};
    return ::lstat(nativePath.constData(), &st) == 0 && S_ISREG(st.st_mode) && quint64(st.st_dev) == device
        && quint64(st.st_ino) == inode;
}

} // namespace corvane
