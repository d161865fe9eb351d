#include "ui/tabs/CrashLogReader.h"

#include "platform/ReportFiles.h"
#include "ui/tabs/TabText.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QStringDecoder>
#include <QThreadPool>
#include <QUrl>
#include <QUuid>

#include <algorithm>

namespace corvane {

namespace {

const QStringList kExtensions = {QStringLiteral("crash"), QStringLiteral("ips"), QStringLiteral("diag"),
                                 QStringLiteral("spin"), QStringLiteral("hang"), QStringLiteral("panic")};

QString trimBlanks(QStringView s)
{
    qsizetype a = 0, b = s.size();
    while (a < b && (s[a] == u' ' || s[a] == u'\t'))
        ++a;
    while (b > a && (s[b - 1] == u' ' || s[b - 1] == u'\t'))
        --b;
    return s.mid(a, b - a).toString();
}

// Strict UTF-8: nullopt for bytes that are not.
std::optional<QString> decodeUtf8(const QByteArray &bytes)
{
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = dec.decode(bytes);
    if (dec.hasError())
        return std::nullopt;
    return text;
}

// Leaves out a multi-byte character that the cap cut in two.
qsizetype completeUtf8Length(const QByteArray &b)
{
    const qsizetype n = b.size();
    for (qsizetype back = 1; back <= 4 && back <= n; ++back) {
        const auto c = static_cast<unsigned char>(b[n - back]);
        if ((c & 0xC0) == 0x80)
            continue; // continuation byte: keep looking for its lead
        const int need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return need > back ? n - back : n;
    }
    return n;
}

CrashLogEntry makeEntry(const FolderItem &item, const QString &fileName, const QString &kind,
                        const QString &fallbackName, const QDateTime &now)
{
    const CrashHeader header = CrashLogReader::readHeader(item.path);
    CrashLogEntry e;
    e.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    e.fileName = fileName;
    e.processName = header.process ? *header.process : fallbackName;
    e.date = item.modified.value_or(now);
    e.path = item.path;
    e.kind = kind;
    e.summary = header.summary.value_or(QStringLiteral("—"));
    return e;
}

// Report reads get threads of their own: a slow folder or a big report never waits behind,
// or holds up, other work. Owned by the application, so it ends before it.
QThreadPool *readPool()
{
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(2);
    }
    return pool;
}

} // namespace

QString CrashLogEntry::dateText() const { return TabText::dayMonthTime(date); }

CrashLogReader::CrashLogReader(QObject *parent) : CrashLogReader(systemSources(), parent) {}

CrashLogReader::CrashLogReader(QList<CrashSource> sources, QObject *parent)
    : QObject(parent), m_sources(std::move(sources))
{
    refresh();
    m_timer.setInterval(kRescanMs);
    connect(&m_timer, &QTimer::timeout, this, &CrashLogReader::refresh);
    m_timer.start();
}

CrashLogReader::~CrashLogReader() = default;

QList<CrashSource> CrashLogReader::systemSources()
{
    // apport's reports, then the kernel's dumps that systemd-pstore keeps.
    return {{QStringLiteral("/var/crash"), false}, {QStringLiteral("/var/lib/systemd/pstore"), true}};
}

QString CrashLogReader::reportFolder() const
{
    return m_sources.isEmpty() ? QString() : m_sources.first().folder;
}

QVariantList CrashLogReader::entriesVariant() const
{
    QVariantList out;
    out.reserve(m_entries.size());
    for (const auto &e : m_entries)
        out.append(QVariant::fromValue(e));
    return out;
}

void CrashLogReader::refresh()
{
    const quint64 token = ++m_token;
    if (m_pending++ == 0)
        emit scanningChanged();
    QPointer<CrashLogReader> self(this);
    readPool()->start([self, token, sources = m_sources] {
        QList<CrashLogEntry> found = scan(sources, QDateTime::currentDateTime());
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, token, found = std::move(found)]() mutable {
                if (self)
                    self->apply(token, std::move(found));
            },
            Qt::QueuedConnection);
    });
}

void CrashLogReader::apply(quint64 token, QList<CrashLogEntry> entries)
{
    if (--m_pending == 0)
        emit scanningChanged();
    if (token != m_token)
        return; // a newer scan is on its way
    m_entries = std::move(entries);
    emit entriesChanged();
}

void CrashLogReader::openFolder() const
{
    if (!reportFolder().isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(reportFolder()));
}

void CrashLogReader::openReport(const QString &path) const
{
    if (!path.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QList<CrashLogEntry> CrashLogReader::scan(const QList<CrashSource> &sources, const QDateTime &now)
{
    QList<CrashLogEntry> out;
    for (const CrashSource &source : sources) {
        const auto items = listFolder(source.folder);
        if (!items)
            continue;
        for (const FolderItem &item : *items) {
            if (source.kernelDumps) {
                if (!item.isFolder) {
                    out.append(makeEntry(item, item.name, kind(QStringLiteral("panic")), QStringLiteral("kernel"), now));
                    continue;
                }
                // systemd-pstore keeps each dump in a folder named after its record.
                const auto inner = listFolder(item.path);
                if (!inner)
                    continue;
                for (const FolderItem &dump : *inner)
                    if (!dump.isFolder)
                        out.append(makeEntry(dump, item.name + QLatin1Char('/') + dump.name,
                                             kind(QStringLiteral("panic")), QStringLiteral("kernel"), now));
                continue;
            }
            const qsizetype dot = item.name.lastIndexOf(QLatin1Char('.'));
            const QString ext = dot < 0 ? QString() : item.name.mid(dot + 1).toLower();
            if (!isReportExtension(ext))
                continue;
            out.append(makeEntry(item, item.name, kind(ext), processName(item.name), now));
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const CrashLogEntry &a, const CrashLogEntry &b) { return a.date > b.date; });
    return out;
}

CrashHeader CrashLogReader::readHeader(const QString &path)
{
    const auto head = readRegularFile(path, kHeadBytes);
    if (!head)
        return {};
    return parseHeader(head->bytes);
}

CrashHeader CrashLogReader::parseHeader(const QByteArray &head)
{
    const QString text = decodeUtf8(head).value_or(QString());
    CrashHeader h;
    int kept = 0;
    for (QStringView line : QStringView(text).split(u'\n', Qt::SkipEmptyParts)) {
        if (kept++ == kHeadLines)
            break;
        if (line.contains(u"\"process\"") || line.startsWith(u"Process:")) {
            QString p = line.toString();
            p.remove(QStringLiteral("Process:"));
            p.remove(QStringLiteral("\"process\":"));
            p.remove(QLatin1Char('"'));
            p.remove(QLatin1Char(','));
            h.process = trimBlanks(p);
        } else if (line.startsWith(u"ExecutablePath:")) {
            // apport names the program by its path.
            const QString path = trimBlanks(line.mid(15));
            h.process = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        }
        if (line.contains(u"\"exception\"") || line.startsWith(u"Exception Type:")
            || line.startsWith(u"Termination Reason:"))
            h.summary = trimBlanks(line);
    }
    return h;
}

QString CrashLogReader::processName(const QString &fileName)
{
    const QStringList parts = fileName.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    return parts.isEmpty() ? fileName : parts.first();
}

QString CrashLogReader::kind(const QString &ext)
{
    if (ext == u"panic")
        return QStringLiteral("Kernel Panic");
    if (ext == u"hang" || ext == u"spin")
        return QStringLiteral("Hang / Freeze");
    if (ext == u"diag")
        return QStringLiteral("Diagnostic");
    return QStringLiteral("Crash");
}

bool CrashLogReader::isReportExtension(const QString &ext) { return kExtensions.contains(ext); }

// ---- Detail text ------------------------------------------------------------------------

CrashReportText::CrashReportText(QObject *parent) : QObject(parent) {}
CrashReportText::~CrashReportText() = default;

void CrashReportText::setPath(const QString &path)
{
    m_path = path;
    emit pathChanged();
    const quint64 token = ++m_token;
    if (!m_loading) {
        m_loading = true;
        emit loadingChanged();
    }
    QPointer<CrashReportText> self(this);
    readPool()->start([self, token, path] {
        Loaded loaded = load(path);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, token, loaded = std::move(loaded)]() mutable {
                if (!self || token != self->m_token)
                    return; // a later selection owns the pane now
                self->m_content = std::move(loaded.text);
                self->m_lines = self->m_content.split(QLatin1Char('\n'));
                self->m_note = std::move(loaded.note);
                self->m_loading = false;
                emit self->contentChanged();
                emit self->loadingChanged();
            },
            Qt::QueuedConnection);
    });
}

CrashReportText::Loaded CrashReportText::load(const QString &path, qint64 maxBytes)
{
    auto file = readRegularFile(path, maxBytes);
    if (!file)
        return {kUnreadable, {}};
    if (file->truncated)
        file->bytes.truncate(completeUtf8Length(file->bytes));
    auto text = decodeUtf8(file->bytes);
    if (!text)
        return {kUnreadable, {}};
    Loaded out{std::move(*text), {}};
    if (file->truncated) {
        const QLocale locale;
        out.note = QStringLiteral("Raport trunchiat: afișez primii ")
            + locale.formattedDataSize(maxBytes, 1, QLocale::DataSizeIecFormat) + QStringLiteral(" din ")
            + locale.formattedDataSize(std::max(file->size, maxBytes), 1, QLocale::DataSizeIecFormat)
            + QLatin1Char('.');
    }
    return out;
}

} // namespace corvane
