#include "common/StoredSettings.h"

#include "common/Log.h"
#include "common/OwnedPool.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QMutex>
#include <QPointer>
#include <QSaveFile>
#include <QSet>
#include <QThreadPool>
#include <QWaitCondition>

#include <cerrno>
#include <cstdio>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

// What the stores of one file share. `mutex` is never held while the disk is used.
struct StoredSettings::Shared {
    QString file;
    QMutex mutex;
    QHash<QString, QVariant> pending; // written by the stores, not yet on disk
    bool running = false;             // a background write is on its way
    bool again = false;               // and another one was asked for meanwhile
    QWaitCondition idle;
    // Held by the one thread writing the file (the worker, or a store flushing).
    QMutex writing;
    quint64 temporaries = 0;
};

namespace {

QMutex g_registryMutex;

std::shared_ptr<StoredSettings::Shared> sharedFor(const QString &file)
{
    static QHash<QString, std::shared_ptr<StoredSettings::Shared>> registry;
    QMutexLocker lock(&g_registryMutex);
    auto &sh = registry[file];
    if (!sh) {
        sh = std::make_shared<StoredSettings::Shared>();
        sh->file = file;
    }
    return sh;
}

QList<std::shared_ptr<StoredSettings::Shared>> &allShared()
{
    static QList<std::shared_ptr<StoredSettings::Shared>> all;
    return all;
}

QThreadPool *writerPool()
{
    static QPointer<QThreadPool> pool;
    return ownedPool(pool, 1);
}

// Writes `batch` over the file's current content: into a copy of the file through a settings
// object of the copy's own (so nothing the stores read through is held meanwhile), which
// then replaces the file. QSettings' own lock keeps other processes' writes apart.
bool writeBatch(StoredSettings::Shared &sh, const QHash<QString, QVariant> &batch)
{
    const QString &file = sh.file;
    const QFileInfo info(file);
    if (!QDir().mkpath(info.absolutePath())) {
        qCWarning(lcState).noquote() << "settings could not be written: cannot create folder" << info.absolutePath();
        return false;
    }
    QLockFile lock(file + QStringLiteral(".lock"));
    if (!lock.tryLock(10'000)) {
        qCWarning(lcState).noquote() << "settings could not be written: another program holds" << lock.error();
        return false;
    }
    const QString temp = file + QStringLiteral(".saving-%1-%2").arg(QCoreApplication::applicationPid()).arg(++sh.temporaries);
    QFile::remove(temp);
    if (info.exists() && !QFile::copy(file, temp)) {
        qCWarning(lcState).noquote() << "settings could not be written: cannot copy" << file;
        return false;
    }
    QSettings::Status status;
    {
        QSettings copy(temp, QSettings::IniFormat);
        for (auto it = batch.cbegin(); it != batch.cend(); ++it)
            copy.setValue(it.key(), it.value());
        copy.sync();
        status = copy.status();
    }
    if (status != QSettings::NoError
        || ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(file).constData()) != 0) {
        QFile::remove(temp);
        qCWarning(lcState).noquote() << "settings could not be written to" << file
                                     << (status == QSettings::FormatError ? "(format error)" : "(access error)");
        return false;
    }
    return true;
}

// Writes what is pending; the caller holds `sh.writing`.
void writePending(StoredSettings::Shared &sh)
{
    QHash<QString, QVariant> batch;
    {
        QMutexLocker lock(&sh.mutex);
        batch = std::exchange(sh.pending, {});
    }
    if (batch.isEmpty())
        return;
    if (writeBatch(sh, batch))
        return;
    // Tried again with the next write; a newer value of a key replaces the failed one.
    QMutexLocker lock(&sh.mutex);
    for (auto it = batch.cbegin(); it != batch.cend(); ++it)
        if (!sh.pending.contains(it.key()))
            sh.pending.insert(it.key(), it.value());
}

// The characters QSettings writes in keys and section names (it escapes every other one).
bool isKeyChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'
        || c == '.' || c == '%' || c == '\\';
}

bool isKey(QByteArrayView key)
{
    if (key.isEmpty())
        return false;
    for (char c : key)
        if (!isKeyChar(c))
            return false;
    return true;
}

QByteArrayView trimmedBlanks(QByteArrayView s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.sliced(b, e - b);
}

// Whether QSettings reads `line` as it stands, one line, nothing dropped or merged: a blank
// or a comment, a section header, or key=value with quotes that close and no backslash
// escaping the line's end (either makes the reader run on into the next line).
bool readsWhole(QByteArrayView line)
{
    for (char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7f)
            return false;
    }
    if (!line.isValidUtf8())
        return false;
    const QByteArrayView t = trimmedBlanks(line);
    if (t.isEmpty() || t.startsWith(';'))
        return true;
    if (t.startsWith('[')) {
        const qsizetype close = t.indexOf(']');
        return close == t.size() - 1 && isKey(t.sliced(1, close - 1));
    }
    bool inQuotes = false;
    qsizetype equals = -1;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const char c = t[i];
        if (c == '\\') {
            if (++i == t.size())
                return false; // escapes the line's end
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == '=' && !inQuotes && equals < 0) {
            equals = i;
        } else if (c == ';' && !inQuotes) {
            break; // the rest is a comment
        }
    }
    if (inQuotes || equals < 0)
        return false;
    return isKey(trimmedBlanks(t.first(equals)));
}

struct Lines {
    QByteArray kept;
    int keptCount = 0;
    int dropped = 0;
};

// The lines of `bytes` that read whole (`complete`: the text ends where the file does, so
// its last line is whole too).
Lines readableLines(QByteArrayView bytes, bool complete)
{
    Lines out;
    if (bytes.startsWith("\xef\xbb\xbf"))
        bytes = bytes.sliced(3);
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = pos;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        if (end == bytes.size() && !complete) {
            ++out.dropped; // cut off by the read's bound
            break;
        }
        const QByteArrayView line = bytes.sliced(pos, end - pos);
        if (!line.isEmpty()) {
            if (readsWhole(line)) {
                out.kept += line;
                out.kept += '\n';
                ++out.keptCount;
            } else {
                ++out.dropped;
            }
        }
        pos = end + 1;
    }
    return out;
}

QString asidePath(const QString &path, const char *suffix)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = path + QLatin1String(suffix) + stamp;
    QString target = base;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    return target;
}

// Each file once per process, before the first store reads it.
void checkDefaultFile()
{
    static QMutex mutex;
    static QSet<QString> checked;
    const QString file = StoredSettings::defaultFileName();
    QMutexLocker lock(&mutex);
    if (!checked.contains(file)) {
        checked.insert(file);
        StoredSettings::checkFile(file);
    }
}

} // namespace

StoredSettings::FileCheck StoredSettings::checkFile(const QString &path)
{
    FileCheck out;
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0)
        return out; // missing (anything else fails QSettings' own write loudly)
    if (S_ISDIR(st.st_mode)) {
        // Nothing can be written over a folder: QSettings reports its access error.
        out.outcome = FileCheck::Outcome::LeftAlone;
        qCWarning(lcState).noquote() << "settings file is a folder; left alone:" << path;
        return out;
    }
    // Read at most twice what a store could keep (the half-way mark of the bound, so the
    // lines written back stay well within it).
    const qint64 budget = kMaxFileBytes / 2;
    const char *why = nullptr;
    const char *suffix = nullptr;
    QByteArray bytes;
    bool complete = false;
    int fd = -1;
    int openError = EINVAL;
    // A pipe or a device would hold the reader for good: opened without waiting, and only a
    // regular file is read.
    if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
        fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        openError = fd < 0 ? errno : 0;
    }
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        fd = -1;
        openError = EINVAL;
    }
    if (fd < 0) {
        if (openError == ENOENT)
            return out; // a link to nothing: written through as a new file
        why = "can't be read";
        suffix = ".unreadable-";
    } else {
        const qint64 want = std::min<qint64>(st.st_size, kMaxFileBytes) + 1;
        bytes.resize(qsizetype(want));
        qsizetype got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        ::close(fd);
        bytes.resize(got);
        if (got > kMaxFileBytes) {
            why = "larger than any the app writes";
            suffix = ".too-large-";
            bytes.truncate(qsizetype(budget));
        } else {
            complete = true;
            const Lines lines = readableLines(bytes, true);
            if (lines.dropped == 0) {
                out.outcome = FileCheck::Outcome::Whole;
                return out;
            }
            why = "has lines that don't read as settings";
            suffix = ".corrupt-";
        }
    }

    const QString target = asidePath(path, suffix);
    if (!QFile::rename(path, target)) {
        // Its folder can't be written: nor can the settings, so nothing replaces it.
        out.outcome = FileCheck::Outcome::LeftAlone;
        qCWarning(lcState).noquote() << "settings file" << why << "and could not be moved aside:" << path;
        return out;
    }
    out.outcome = FileCheck::Outcome::MovedAside;
    out.keptAs = target;
    const Lines lines = readableLines(bytes, complete);
    out.linesKept = lines.keptCount;
    out.linesDropped = lines.dropped;
    if (lines.keptCount > 0) {
        QSaveFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(lines.kept) != lines.kept.size() || !f.commit())
            qCWarning(lcState).noquote() << "settings read from" << target << "could not be written to" << path;
    }
    qCWarning(lcState).noquote() << "settings file" << why << "- kept as" << target << ";" << lines.keptCount
                                 << "settings lines carried over," << lines.dropped << "lines left out";
    return out;
}

QString StoredSettings::defaultFileName()
{
    // A settings object for a name no file has says where the store's file is, without
    // reading the store's file.
    const QSettings probe(QSettings::NativeFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                          QStringLiteral("corvane-settings-probe"));
    const QString app = QCoreApplication::applicationName();
    return QFileInfo(probe.fileName()).absolutePath() + QLatin1Char('/') + app + QStringLiteral(".conf");
}

StoredSettings::StoredSettings(QObject *parent) : QSettings((checkDefaultFile(), parent))
{
    m_shared = sharedFor(fileName());
    {
        QMutexLocker lock(&g_registryMutex);
        if (!allShared().contains(m_shared))
            allShared().append(m_shared);
    }
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietMs);
    connect(&m_quiet, &QTimer::timeout, this, &StoredSettings::flushInBackground);
    if (auto *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &StoredSettings::flush);
}

StoredSettings::~StoredSettings() { flush(); }

void StoredSettings::write(const QString &key, const QVariant &value)
{
    const QVariant old = QSettings::value(key);
    if (old.isValid() && old == value && old.metaType() == value.metaType())
        return;
    setValue(key, value);
    {
        QMutexLocker lock(&m_shared->mutex);
        m_shared->pending.insert(key, value);
    }
    m_quiet.start(); // every write restarts the quiet time
}

bool StoredSettings::readBool(const QString &key, bool fallback) const
{
    const QVariant v = value(key);
    return v.isValid() ? v.toBool() : fallback;
}

double StoredSettings::readDouble(const QString &key, double fallback) const
{
    bool ok = false;
    const double v = value(key).toDouble(&ok);
    return ok ? v : fallback;
}

void StoredSettings::flush()
{
    m_quiet.stop();
    QMutexLocker writing(&m_shared->writing);
    writePending(*m_shared);
}

void StoredSettings::flushInBackground()
{
    m_quiet.stop();
    const std::shared_ptr<Shared> sh = m_shared;
    {
        QMutexLocker lock(&sh->mutex);
        if (sh->running) {
            sh->again = true; // the running write may have taken its batch already
            return;
        }
        sh->running = true;
    }
    writerPool()->start([sh] {
        for (;;) {
            {
                QMutexLocker writing(&sh->writing);
                writePending(*sh);
            }
            QMutexLocker lock(&sh->mutex);
            if (!sh->again) {
                sh->running = false;
                sh->idle.wakeAll();
                return;
            }
            sh->again = false;
        }
    });
}

void StoredSettings::finishBackgroundWrites()
{
    QList<std::shared_ptr<Shared>> all;
    {
        QMutexLocker lock(&g_registryMutex);
        all = allShared();
    }
    for (const auto &sh : all) {
        QMutexLocker lock(&sh->mutex);
        while (sh->running)
            sh->idle.wait(&sh->mutex);
    }
}

bool StoredSettings::event(QEvent *e)
{
    // QSettings would write the file itself on the next turn of the event loop after a
    // change, on this thread: the worker writes it instead.
    if (e->type() == QEvent::UpdateRequest)
        return true;
    return QSettings::event(e);
}

} // namespace corvane
