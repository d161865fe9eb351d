#include "ui/tabs/CrashLogReader.h"

#include <QLocale>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace corvane {

CrashLogReader::CrashLogReader(QObject *parent) : CrashLogReader(CrashLogMonitor::systemSources(), parent) {}

CrashLogReader::CrashLogReader(QList<CrashSource> sources, QObject *parent)
    : QObject(parent), m_opener(makeDesktopOpener()), m_monitor(new CrashLogMonitor(std::move(sources), this)),
      m_model(new KeyedListModel(this))
{
    m_model->setKeyField(QStringLiteral("key"));
    connect(m_monitor, &CrashLogMonitor::published, this, &CrashLogReader::apply);
    connect(m_monitor, &CrashLogMonitor::scanningChanged, this, &CrashLogReader::scanningChanged);
}

CrashLogReader::~CrashLogReader() = default;

void CrashLogReader::apply()
{
    if (m_monitor->failures() != m_failures) {
        m_failures = m_monitor->failures();
        m_lastError = failureText(m_failures);
        emit lastErrorChanged();
    }
    // Rows of unchanged reports stay as they are: the view keeps its place and selection.
    m_model->setItems(m_monitor->rows());
    ++m_revision;
    emit entriesChanged();
}

QVariant CrashLogReader::entryFor(const QString &key) const
{
    const CrashLogEntry *e = m_monitor->entry(key);
    return e ? QVariant::fromValue(*e) : QVariant::fromValue(nullptr);
}

void CrashLogReader::setOpenError(const QString &text)
{
    if (text == m_openError)
        return;
    m_openError = text;
    emit openErrorChanged();
}

void CrashLogReader::openFolder()
{
    if (reportFolder().isEmpty())
        return;
    const bool opened = m_opener->open(QUrl::fromLocalFile(reportFolder()));
    setOpenError(opened ? QString() : openFailureText(reportFolder(), true));
}

void CrashLogReader::openReport(const QString &key)
{
    const CrashLogEntry *e = m_monitor->entry(key);
    if (!e || !e->canOpen())
        return;
    const QUrl url = m_monitor->openableUrl(key);
    const bool opened = !url.isEmpty() && m_opener->open(url);
    setOpenError(opened ? QString() : openFailureText(e->path, !url.isEmpty()));
}

QString CrashLogReader::openFailureText(const QString &path, bool stillThere)
{
    return QStringLiteral("Nu pot deschide ") + path
        + (stillThere ? QStringLiteral(": desktopul nu are un program care să-l deschidă.")
                      : QStringLiteral(": fișierul a fost șters sau înlocuit după citire."));
}

QString CrashLogReader::reasonText(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("acces refuzat");
    case ENOTDIR:
        return QStringLiteral("nu este un folder");
    case ELOOP:
        return QStringLiteral("prea multe legături simbolice");
    case EIO:
        return QStringLiteral("eroare de intrare/ieșire");
    case ENOTCONN:
    case ESTALE:
    case ENODEV:
    case ENXIO:
    case EHOSTDOWN:
    case ETIMEDOUT:
        return QStringLiteral("sistemul de fișiere nu răspunde");
    case EBADMSG:
    case EUCLEAN:
        return QStringLiteral("fișiere deteriorate");
    case ENOMEM:
    case EMFILE:
    case ENFILE:
        return QStringLiteral("resurse de sistem epuizate");
    default:
        if (const char *name = ::strerrorname_np(error))
            return QStringLiteral("eroare ") + QLatin1String(name);
        return QStringLiteral("eroare ") + QString::number(error);
    }
}

QVariant CrashLogReader::failureText(const QList<CrashSourceFailure> &failures)
{
    if (failures.isEmpty())
        return {};
    QStringList lines;
    for (const CrashSourceFailure &f : failures)
        lines << QStringLiteral("Nu pot citi ") + (f.folder.isEmpty() ? QStringLiteral("jurnalul systemd") : f.folder)
                + QStringLiteral(": ") + reasonText(f.error) + QLatin1Char('.');
    return lines.join(QLatin1Char('\n'));
}


// ---- Detail text ------------------------------------------------------------------------

CrashReportText::CrashReportText(QObject *parent) : QObject(parent) {}
CrashReportText::~CrashReportText() = default;

void CrashReportText::setEntry(const QVariant &entry)
{
    const CrashLogEntry next = entry.value<CrashLogEntry>();
    const CrashLogEntry current = m_entry.value<CrashLogEntry>();
    // A rescan hands the same report again: keep the text (and the place in it).
    if (m_entry.isValid() && next.key == current.key && next.size == current.size && next.mtimeNs == current.mtimeNs
        && next.inode == current.inode)
        return;
    m_entry = entry;
    emit entryChanged();
    const quint64 token = ++m_token;
    if (next.key.isEmpty())
        return;
    if (!m_loading) {
        m_loading = true;
        emit loadingChanged();
    }
    CrashLogMonitor::readReportLater(next, kMaxBytes, this, [this, token](CrashReportBody body) {
        if (token == m_token) // else a later selection owns the pane now
            show(std::move(body));
    });
}

void CrashReportText::show(CrashReportBody body)
{
    if (body.text) {
        m_content = std::move(*body.text);
        m_lines = std::move(body.lines);
    } else {
        m_content = kUnreadable;
        m_lines = QStringList{kUnreadable};
    }
    m_note.clear();
    if (body.text && body.truncated) {
        const QLocale locale;
        m_note = QStringLiteral("Raport trunchiat: afișez primii ")
            + locale.formattedDataSize(kMaxBytes, 1, QLocale::DataSizeIecFormat) + QStringLiteral(" din ")
            + locale.formattedDataSize(std::max(body.size, kMaxBytes), 1, QLocale::DataSizeIecFormat)
            + QLatin1Char('.');
    }
    m_loading = false;
    emit contentChanged();
    emit loadingChanged();
}

} // namespace corvane
