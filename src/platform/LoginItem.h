#pragma once
// Registration of the application as something that starts when the user logs in.
#include <QString>

#include <memory>
#include <optional>

namespace corvane {

class LoginItem {
public:
    virtual ~LoginItem() = default;
    virtual bool isEnabled() = 0;
    // nullopt on success, else the system's message.
    virtual std::optional<QString> registerApp() = 0;
    virtual std::optional<QString> unregisterApp() = 0;
};

// An XDG autostart entry "<configHome>/autostart/corvane.desktop" that starts `executable`.
// An empty configHome means $XDG_CONFIG_HOME (or ~/.config).
std::unique_ptr<LoginItem> makeXdgAutostartItem(const QString &executable, const QString &configHome = QString());

} // namespace corvane
