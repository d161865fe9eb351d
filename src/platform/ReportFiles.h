#pragma once
// Reading files that other programs leave behind (crash reports): listing a folder and
// reading a regular file up to a cap. A FIFO, a device or a symlink is never opened for
// reading, so a hostile name can neither hang a read nor feed it endless bytes.
#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace corvane {

struct FolderItem {
    QString name;                      // last path component, for display
    QString path;                      // for display: bytes that aren't UTF-8 show as U+FFFD
    QByteArray nativePath;             // the exact bytes, to open the item with
    bool isFolder = false;             // a real folder, not a link to one
    std::optional<QDateTime> modified; // of the item itself (a link's own time)
    qint64 size = -1;                  // of the item itself; -1 when unknown
    // Tells a rewritten or replaced file from the one seen before.
    qint64 mtimeNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
};

struct FolderListing {
    std::vector<FolderItem> items;
    // errno of a listing that failed or stopped part way (the items read until then are
    // kept); ENOENT when there is no such folder; 0 when the folder was listed whole.
    int error = 0;
};

// The folder's direct items in the order the system lists them, hidden ones (leading dot)
// left out.
FolderListing listFolder(const QString &folder);
FolderListing listFolder(const QByteArray &nativeFolder);

struct FileHead {
    QByteArray bytes;
    bool truncated = false; // the file goes on past `limit`
    qint64 size = 0;        // the size the file reports
    // The file that was read, as the open handle saw it.
    quint64 inode = 0;
    quint64 device = 0;
};

// At most `limit` bytes of a regular file; nullopt for anything that isn't one (links
// included) or can't be opened.
std::optional<FileHead> readRegularFile(const QString &path, qint64 limit);
std::optional<FileHead> readRegularFile(const QByteArray &nativePath, qint64 limit);

// The path still names that very regular file itself, not a link, FIFO or other file put in
// its place since.
bool isSameRegularFile(const QByteArray &nativePath, quint64 device, quint64 inode);

} // namespace corvane
