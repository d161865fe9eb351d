#include "notify/HistoryFile.h"

#include "common/Log.h"
#include "common/OwnedPool.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThreadPool>
#include <QWaitCondition>
#include <QUuid>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {
namespace {

// Reads and saves get threads of their own: Qt's raster painting hands large fills to the
// global pool and waits for them, so a long decode there would stall the interface.
QThreadPool *filePool()
{
    static QPointer<QThreadPool> pool;
    return ownedPool(pool, 2);
}

} // namespace

// The worker hands its result back through this: it stores the result and posts to
// `receiver` (on the owner's thread) only while the file object still exists.
struct HistoryFile::Channel {
    QMutex mutex;
    QWaitCondition ready;
    QPointer<QObject> receiver;
    HistoryFile *file = nullptr;
    bool hasResult = false;
    Outcome outcome = Outcome::Missing;
    std::function<void()> apply;
    std::function<void()> finished;
};

// Background saves: the newest waiting encoder, and whether a worker is writing.
struct HistoryFile::Writer {
    QMutex mutex;
    QWaitCondition idle;
    Encoder pending;
    bool running = false;
};

HistoryFile::HistoryFile(QString folder, QString fileName, const Clock &clock)
    : m_folder(std::move(folder)), m_fileName(std::move(fileName)), m_clock(clock),
      m_channel(std::make_shared<Channel>()), m_writer(std::make_shared<Writer>())
{
}

HistoryFile::~HistoryFile()
{
    finishSaving(); // what was recorded reaches the disk
    QMutexLocker lock(&m_channel->mutex);
    m_channel->file = nullptr;
    m_channel->apply = nullptr;
    m_channel->finished = nullptr;
    delete m_channel->receiver.data();
}

QString HistoryFile::defaultFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        return {};
    return base + QStringLiteral("/CorvaneMonitor");
}

QString HistoryFile::path() const
{
    if (m_folder.isEmpty())
        return {};
    return m_folder + QLatin1Char('/') + m_fileName;
}

HistoryFile::Read HistoryFile::readBounded(const QString &path, qint64 cap)
{
    Read r;
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        // No file, or no folder yet (something else in its way fails the save, loudly).
        r.outcome = errno == ENOENT || errno == ENOTDIR ? Outcome::Missing : Outcome::Unreadable;
        return r;
    }
    // A folder, a pipe or a device in the file's place is nothing we wrote: left alone.
    if (!S_ISREG(st.st_mode)) {
        r.outcome = Outcome::Unreadable;
        return r;
    }
    if (st.st_size > cap) {
        r.outcome = Outcome::TooLarge;
        return r;
    }
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        r.outcome = Outcome::Unreadable;
        return r;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        r.outcome = Outcome::Unreadable;
        return r;
    }
    // The file may grow while it is read: never more than the cap plus one byte.
    r.bytes.resize(qsizetype(std::min<qint64>(st.st_size, cap) + 1));
    qsizetype got = 0;
    r.outcome = Outcome::Loaded;
    while (got < r.bytes.size()) {
        const ssize_t n = ::read(fd, r.bytes.data() + got, size_t(r.bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            r.outcome = Outcome::Unreadable;
            break;
        }
        if (n == 0)
            break;
        got += n;
        if (got == r.bytes.size() && got <= cap)
            r.bytes.resize(std::min<qsizetype>(qsizetype(cap) + 1, got * 2));
    }
    ::close(fd);
    if (r.outcome == Outcome::Loaded && got > cap)
        r.outcome = Outcome::TooLarge;
    if (r.outcome != Outcome::Loaded)
        r.bytes.clear();
    else
        r.bytes.resize(got);
    return r;
}

void HistoryFile::load(Decoder decode, std::function<void()> finished)
{
    const QString p = path();
    if (p.isEmpty()) {
        if (finished)
            finished();
        return;
    }
    {
        QMutexLocker lock(&m_channel->mutex);
        if (!m_channel->receiver)
            m_channel->receiver = new QObject; // lives on this thread, deleted with the file
        m_channel->file = this;
        m_channel->hasResult = false;
        m_channel->finished = std::move(finished);
    }
    m_loading = true;
    filePool()->start([p, decode = std::move(decode), channel = m_channel] {
        Read read = readBounded(p, kMaxBytes);
        std::function<void()> apply;
        if (read.outcome == Outcome::Loaded) {
            apply = decode(read.bytes);
            if (!apply)
                read.outcome = Outcome::Undecodable;
        }
        read.bytes = QByteArray();
        QMutexLocker lock(&channel->mutex);
        if (!channel->file || !channel->receiver)
            return;
        channel->outcome = read.outcome;
        channel->apply = std::move(apply);
        channel->hasResult = true;
        channel->ready.wakeAll();
        QMetaObject::invokeMethod(
            channel->receiver.data(), [channel] {
                HistoryFile *file = nullptr;
                {
                    QMutexLocker inner(&channel->mutex);
                    file = channel->file;
                }
                if (file)
                    file->deliver();
            },
            Qt::QueuedConnection);
    });
}

void HistoryFile::finishLoading()
{
    if (!m_loading)
        return;
    {
        QMutexLocker lock(&m_channel->mutex);
        while (!m_channel->hasResult)
            m_channel->ready.wait(&m_channel->mutex);
    }
    deliver();
}

void HistoryFile::deliver()
{
    Outcome outcome;
    std::function<void()> apply;
    std::function<void()> finished;
    {
        QMutexLocker lock(&m_channel->mutex);
        if (!m_channel->hasResult)
            return; // already taken by finishLoading()
        m_channel->hasResult = false;
        outcome = m_channel->outcome;
        apply = std::move(m_channel->apply);
        finished = std::move(m_channel->finished);
        m_channel->apply = nullptr;
        m_channel->finished = nullptr;
    }
    finish(outcome, apply, finished);
}

void HistoryFile::finish(Outcome outcome, const std::function<void()> &apply, const std::function<void()> &finished)
{
    m_loading = false;
    m_outcome = outcome;
    switch (outcome) {
    case Outcome::Missing:
        break;
    case Outcome::Loaded:
        apply();
        break;
    case Outcome::Undecodable:
        moveAside(QStringLiteral("undecodable"), QStringLiteral(".corrupt-"));
        break;
    case Outcome::TooLarge:
        moveAside(QStringLiteral("larger than %1 bytes").arg(kMaxBytes), QStringLiteral(".too-large-"));
        break;
    case Outcome::Unreadable:
        m_blocked = true;
        qCWarning(lcNotify).noquote() << "history file can't be read; left in place and not saved:" << path();
        break;
    }
    if (finished)
        finished();
}

void HistoryFile::moveAside(const QString &why, const QString &suffix)
{
    const QString p = path();
    const QString stamp = QDateTime::fromMSecsSinceEpoch(qint64(std::floor(m_clock.wallSeconds() * 1000.0)), Qt::UTC)
                              .toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = p + suffix + stamp;
    for (int n = 2; QFile::exists(target); ++n)
        target = p + suffix + stamp + QLatin1Char('-') + QString::number(n);
    if (QFile::rename(p, target)) {
        qCWarning(lcNotify).noquote() << "history file" << why << "- kept as" << target;
    } else {
        m_blocked = true;
        qCWarning(lcNotify).noquote() << "history file" << why << "could not be moved aside; not saving over" << p;
    }
}

bool HistoryFile::save(const QByteArray &bytes)
{
    const QString p = path();
    if (p.isEmpty() || m_blocked || m_loading)
        return false;
    finishSaving(); // an older background save must not land after this one
    return write(m_folder, p, bytes);
}

bool HistoryFile::saveInBackground(Encoder encode)
{
    const QString p = path();
    if (p.isEmpty() || m_blocked || m_loading)
        return false;
    {
        QMutexLocker lock(&m_writer->mutex);
        m_writer->pending = std::move(encode);
        if (m_writer->running)
            return true; // the running worker takes it next
        m_writer->running = true;
    }
    filePool()->start([writer = m_writer, folder = m_folder, p] {
        for (;;) {
            Encoder job;
            {
                QMutexLocker lock(&writer->mutex);
                if (!writer->pending) {
                    writer->running = false;
                    writer->idle.wakeAll();
                    return;
                }
                job = std::move(writer->pending);
                writer->pending = nullptr;
            }
            if (const std::optional<QByteArray> bytes = job())
                write(folder, p, *bytes);
        }
    });
    return true;
}

void HistoryFile::finishSaving()
{
    QMutexLocker lock(&m_writer->mutex);
    while (m_writer->running)
        m_writer->idle.wait(&m_writer->mutex);
}

bool HistoryFile::write(const QString &folder, const QString &p, const QByteArray &bytes)
{
    if (!QDir().mkpath(folder)) {
        qCWarning(lcNotify).noquote() << "history not saved: cannot create folder" << folder;
        return false;
    }
    QSaveFile f(p);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        qCWarning(lcNotify).noquote() << "history not saved to" << p << ":" << f.errorString();
        return false;
    }
    return true;
}

namespace json {

void appendString(QByteArray &out, const QString &s)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    const QByteArray utf8 = s.toUtf8();
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '/': out += "\\/"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 0xf];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

bool appendNumber(QByteArray &out, double v)
{
    if (!std::isfinite(v))
        return false;
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr - buf);
    return true;
}

QString uuidText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

} // namespace json

} // namespace corvane
