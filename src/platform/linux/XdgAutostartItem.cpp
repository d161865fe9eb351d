#include "platform/LoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <glib.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace corvane {
namespace {

// The inner layer of the Desktop Entry rules for one Exec argument: an argument with a
// reserved character is quoted, and inside the quotes ", `, $ and \ take a backslash. A
// literal % is doubled wherever it stands (a single one starts a field code). The outer
// layer, the key file's own string escapes, is GLib's when the value is written.
QString quoteExecArg(const QString &arg)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needs = arg.isEmpty();
    for (QChar c : arg)
        needs = needs || reserved.contains(c);
    QString out;
    if (needs)
        out += u'"';
    for (QChar c : arg) {
        if (needs && (c == u'"' || c == u'`' || c == u'$' || c == u'\\'))
            out += u'\\';
        out += c;
        if (c == u'%')
            out += u'%';
    }
    if (needs)
        out += u'"';
    return out;
}

// The Exec line that starts `exe`. GLib (gio launch, GNOME-style sessions) looks for the
// first word as a program before it folds "%%", so a program whose path holds a % never
// starts when named first: env starts it instead. env takes a word with '=' for a variable,
// so such a path goes through sh, which takes it as a plain argument.
QString execLine(const QString &exe)
{
    if (!exe.contains(u'%'))
        return quoteExecArg(exe);
    if (!exe.contains(u'='))
        return QStringLiteral("env ") + quoteExecArg(exe);
    return QStringLiteral("sh -c ") + quoteExecArg(QStringLiteral("exec \"$0\"")) + u' ' + quoteExecArg(exe);
}

struct KeyFileFree {
    void operator()(GKeyFile *k) const { g_key_file_free(k); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileFree>;
constexpr const char *kGroup = "Desktop Entry";

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
        // What the session would start: an entry it can read, neither hidden nor turned off.
        KeyFile kf(g_key_file_new());
        if (!g_key_file_load_from_file(kf.get(), QFile::encodeName(m_path).constData(), G_KEY_FILE_NONE, nullptr))
            return false;
        const auto flag = [&](const char *key, bool absent) {
            GError *error = nullptr;
            const gboolean v = g_key_file_get_boolean(kf.get(), kGroup, key, &error);
            if (error) {
                g_error_free(error);
                return absent;
            }
            return v != FALSE;
        };
        return !flag("Hidden", false) && flag("X-GNOME-Autostart-enabled", true);
    }

    std::optional<QString> registerApp() override
    {
        if (!QDir().mkpath(m_dir))
            return QStringLiteral("Nu pot crea dosarul %1").arg(m_dir);
        QSaveFile f(m_path);
        if (!f.open(QIODevice::WriteOnly))
            return f.errorString();
        KeyFile kf(g_key_file_new());
        g_key_file_set_string(kf.get(), kGroup, "Type", "Application");
        g_key_file_set_string(kf.get(), kGroup, "Name", "Corvane");
        g_key_file_set_string(kf.get(), kGroup, "Exec", execLine(m_exe).toUtf8().constData());
        g_key_file_set_boolean(kf.get(), kGroup, "Terminal", FALSE);
        g_key_file_set_boolean(kf.get(), kGroup, "X-GNOME-Autostart-enabled", TRUE);
        gsize length = 0;
        gchar *data = g_key_file_to_data(kf.get(), &length, nullptr);
        f.write(data, qint64(length));
        g_free(data);
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
