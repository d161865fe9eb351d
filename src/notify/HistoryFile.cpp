#include "notify/HistoryFile.h"

#include "common/Log.h"
#include "platform/Clock.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>

#include <charconv>
#include <cmath>

namespace corvane {

HistoryFile::HistoryFile(QString folder, QString fileName, const Clock &clock)
    : m_folder(std::move(folder)), m_fileName(std::move(fileName)), m_clock(clock)
{
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

void HistoryFile::load(const std::function<bool(const QByteArray &)> &decode)
{
    const QString p = path();
    if (p.isEmpty() || !QFile::exists(p))
        return;
    QFile f(p);
    if (!f.open(QIODevice::ReadOnly)) {
        moveAside();
        return;
    }
    const QByteArray bytes = f.readAll();
    const bool readOk = f.error() == QFileDevice::NoError;
    f.close();
    if (!readOk || !decode(bytes))
        moveAside();
}

void HistoryFile::moveAside()
{
    const QString p = path();
    const QString stamp = QDateTime::fromMSecsSinceEpoch(qint64(std::floor(m_clock.wallSeconds() * 1000.0)), Qt::UTC)
                              .toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = p + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFile::exists(target); ++n)
        target = p + QStringLiteral(".corrupt-") + stamp + QLatin1Char('-') + QString::number(n);
    if (QFile::rename(p, target)) {
        m_quarantined = target;
        qCWarning(lcNotify).noquote() << "unreadable history file kept as" << target;
    } else {
        m_blocked = true;
        qCWarning(lcNotify).noquote() << "unreadable history file could not be moved aside; not saving over" << p;
    }
}

bool HistoryFile::save(const QByteArray &bytes)
{
    const QString p = path();
    if (p.isEmpty() || m_blocked)
        return false;
    if (!QDir().mkpath(m_folder)) {
        qCWarning(lcNotify).noquote() << "history not saved: cannot create folder" << m_folder;
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
