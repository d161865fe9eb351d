#include "platform/LoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

namespace corvane {
namespace {

// Desktop-entry Exec quoting: reserved characters make the argument quoted, and
// inside quotes ", `, $ and \ are escaped.
QString quoteExecArg(const QString &arg)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needs = arg.isEmpty();
    for (QChar c : arg)
        needs = needs || reserved.contains(c);
    if (!needs)
        return arg;
    QString out = QStringLiteral("\"");
    for (QChar c : arg) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            out += u'\\';
        out += c;
    }
    out += u'"';
    // A literal % must be doubled in Exec.
    return out.replace(u'%', QStringLiteral("%%"));
}

class XdgAutostartItem final : public LoginItem {
public:
    XdgAutostartItem(QString exe, QString configHome) : m_exe(std::move(exe))
    {
        if (configHome.isEmpty()) {
            configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
            if (configHome.isEmpty())
                configHome = QDir::homePath() + QStringLiteral("/.config");
        }
        m_dir = configHome + QStringLiteral("/autostart");
        m_path = m_dir + QStringLiteral("/corvane.desktop");
    }

    bool isEnabled() override
    {
        QFile f(m_path);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        // Hidden=true or a disabled GNOME flag turn an existing entry off.
        for (const QByteArray &raw : f.readAll().split('\n')) {
            const QByteArray line = raw.trimmed();
            if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false")
                return false;
        }
        return true;
    }

    std::optional<QString> registerApp() override
    {
        if (!QDir().mkpath(m_dir))
            return QStringLiteral("Nu pot crea dosarul %1").arg(m_dir);
        QSaveFile f(m_path);
        if (!f.open(QIODevice::WriteOnly))
            return f.errorString();
        const QString text = QStringLiteral("[Desktop Entry]\n"
                                            "Type=Application\n"
                                            "Name=Corvane\n"
                                            "Exec=%1\n"
                                            "Terminal=false\n"
                                            "X-GNOME-Autostart-enabled=true\n")
                                 .arg(quoteExecArg(m_exe));
        f.write(text.toUtf8());
        if (!f.commit())
            return f.errorString();
        return std::nullopt;
    }

    std::optional<QString> unregisterApp() override
    {
        if (!QFileInfo::exists(m_path))
            return QString::fromLocal8Bit(std::strerror(ENOENT));
        QFile f(m_path);
        if (!f.remove())
            return f.errorString();
        return std::nullopt;
    }

private:
    QString m_exe;
    QString m_dir;
    QString m_path;
};

} // namespace

std::unique_ptr<LoginItem> makeXdgAutostartItem(const QString &executable, const QString &configHome)
{
    return std::make_unique<XdgAutostartItem>(executable, configHome);
}

} // namespace corvane
