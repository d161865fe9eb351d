#include "state/ThemeManager.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QSettings>

namespace corvane {

namespace {
QColor rgb(double r, double g, double b) { return QColor::fromRgbF(float(r), float(g), float(b), 1.0f); }
QColor grey(double w) { return rgb(w, w, w); }

std::optional<AppTheme> s_current;
ThemeManager *s_shared = nullptr;
} // namespace

namespace Themes {

QList<AppTheme> allCases()
{
    return {AppTheme::aurora, AppTheme::cyber, AppTheme::sunset, AppTheme::mono, AppTheme::ocean};
}

QString rawValue(AppTheme t)
{
    switch (t) {
    case AppTheme::aurora: return QStringLiteral("aurora");
    case AppTheme::cyber: return QStringLiteral("cyber");
    case AppTheme::sunset: return QStringLiteral("sunset");
    case AppTheme::mono: return QStringLiteral("mono");
    case AppTheme::ocean: return QStringLiteral("ocean");
    }
    return {};
}

std::optional<AppTheme> fromRawValue(const QString &raw)
{
    for (AppTheme t : allCases())
        if (rawValue(t) == raw)
            return t;
    return std::nullopt;
}

QString title(AppTheme t)
{
    switch (t) {
    case AppTheme::aurora: return QStringLiteral("Aurora");
    case AppTheme::cyber: return QStringLiteral("Cyber");
    case AppTheme::sunset: return QStringLiteral("Sunset");
    case AppTheme::mono: return QStringLiteral("Mono");
    case AppTheme::ocean: return QStringLiteral("Ocean");
    }
    return {};
}

QColor accent(AppTheme t)
{
    switch (t) {
    case AppTheme::aurora: return rgb(0.35, 0.85, 1.0);
    case AppTheme::cyber: return rgb(0.3, 1.0, 0.55);
    case AppTheme::sunset: return rgb(1.0, 0.55, 0.3);
    case AppTheme::mono: return rgb(1.0, 1.0, 1.0);
    case AppTheme::ocean: return rgb(0.25, 0.65, 1.0);
    }
    return {};
}

QColor good(AppTheme t)
{
    switch (t) {
    case AppTheme::aurora: return rgb(0.38, 0.95, 0.55);
    case AppTheme::cyber: return rgb(0.5, 1.0, 0.7);
    case AppTheme::sunset: return rgb(1.0, 0.8, 0.35);
    case AppTheme::mono: return grey(0.85);
    case AppTheme::ocean: return rgb(0.45, 1.0, 0.95);
    }
    return {};
}

QColor warning(AppTheme t)
{
    switch (t) {
    case AppTheme::aurora: return rgb(1.0, 0.74, 0.3);
    case AppTheme::cyber: return rgb(1.0, 0.3, 0.7);
    case AppTheme::sunset: return rgb(1.0, 0.42, 0.2);
    case AppTheme::mono: return grey(0.7);
    case AppTheme::ocean: return rgb(1.0, 0.55, 0.35);
    }
    return {};
}

QColor critical(AppTheme t)
{
    switch (t) {
    case AppTheme::aurora: return rgb(1.0, 0.36, 0.45);
    case AppTheme::cyber: return rgb(1.0, 0.2, 0.5);
    case AppTheme::sunset: return rgb(1.0, 0.28, 0.3);
    case AppTheme::mono: return rgb(1.0, 0.55, 0.55);
    case AppTheme::ocean: return rgb(1.0, 0.45, 0.55);
    }
    return {};
}

QColor accentSecondary(AppTheme t)
{
    switch (t) {
    case AppTheme::aurora: return rgb(0.7, 0.45, 1.0);
    case AppTheme::cyber: return rgb(0.85, 0.3, 1.0);
    case AppTheme::sunset: return rgb(0.9, 0.4, 0.7);
    case AppTheme::mono: return grey(0.55);
    case AppTheme::ocean: return rgb(0.55, 0.4, 1.0);
    }
    return {};
}

} // namespace Themes

QColor temperatureColor(double celsius)
{
    const AppTheme t = ThemeManager::current();
    if (celsius < 55.0)
        return Themes::good(t);
    if (celsius < 80.0)
        return Themes::warning(t);
    return Themes::critical(t); // also NaN
}

AppTheme ThemeManager::loadTheme()
{
    // Read once per run; the theme manager's own store writes it from then on.
    const QSettings settings;
    return Themes::fromRawValue(settings.value(QStringLiteral("widget.theme")).toString())
        .value_or(AppTheme::aurora);
}

AppTheme ThemeManager::current()
{
    if (!s_current)
        s_current = loadTheme();
    return *s_current;
}

ThemeManager *ThemeManager::shared()
{
    if (!s_shared)
        s_shared = new ThemeManager(QCoreApplication::instance());
    return s_shared;
}

ThemeManager *ThemeManager::create(QQmlEngine *, QJSEngine *)
{
    ThemeManager *m = shared();
    QJSEngine::setObjectOwnership(m, QJSEngine::CppOwnership);
    return m;
}

ThemeManager::ThemeManager(QObject *parent) : QObject(parent), m_theme(current()) {}

ThemeManager::~ThemeManager()
{
    if (s_shared == this)
        s_shared = nullptr;
}

void ThemeManager::setTheme(AppTheme t)
{
    // Views re-evaluate synchronously on the signal, so the current theme goes first.
    m_theme = t;
    s_current = t;
    emit themeChanged();
    m_settings.write(QStringLiteral("widget.theme"), Themes::rawValue(t));
}

void ThemeManager::setThemeRaw(const QString &raw)
{
    if (auto t = Themes::fromRawValue(raw))
        setTheme(*t);
}

} // namespace corvane
