#pragma once
// The five colour themes, the process-wide current theme and its persistence.
#include "common/StoredSettings.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;

#include <optional>

namespace corvane {

enum class AppTheme { aurora, cyber, sunset, mono, ocean };

namespace Themes {
QList<AppTheme> allCases();
QString rawValue(AppTheme t);
std::optional<AppTheme> fromRawValue(const QString &raw); // exact, case-sensitive
QString title(AppTheme t);
QColor accent(AppTheme t);
QColor good(AppTheme t);
QColor warning(AppTheme t);
QColor critical(AppTheme t);
QColor accentSecondary(AppTheme t);
} // namespace Themes

// Good below 55 °C, warning below 80 °C, critical from 80 °C and for NaN; current theme.
QColor temperatureColor(double celsius);

class ThemeManager : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString theme READ themeRaw WRITE setThemeRaw NOTIFY themeChanged)
    Q_PROPERTY(QColor accent READ accent NOTIFY themeChanged)
    Q_PROPERTY(QColor good READ good NOTIFY themeChanged)
    Q_PROPERTY(QColor warning READ warning NOTIFY themeChanged)
    Q_PROPERTY(QColor critical READ critical NOTIFY themeChanged)
    Q_PROPERTY(QColor accentSecondary READ accentSecondary NOTIFY themeChanged)
public:
    // The process-wide instance; created on first use (owned by the application object).
    static ThemeManager *shared();
    static ThemeManager *create(QQmlEngine *, QJSEngine *);
    // The current theme every colour lookup reads; loaded from "widget.theme" once.
    static AppTheme current();
    // Reads "widget.theme"; a missing or unknown value gives aurora.
    static AppTheme loadTheme();

    AppTheme theme() const { return m_theme; }
    // Updates the current theme before announcing, then stores it (also when unchanged).
    void setTheme(AppTheme t);

    QString themeRaw() const { return Themes::rawValue(m_theme); }
    void setThemeRaw(const QString &raw);
    QColor accent() const { return Themes::accent(m_theme); }
    QColor good() const { return Themes::good(m_theme); }
    QColor warning() const { return Themes::warning(m_theme); }
    QColor critical() const { return Themes::critical(m_theme); }
    QColor accentSecondary() const { return Themes::accentSecondary(m_theme); }

    ~ThemeManager() override;

signals:
    void themeChanged();

private:
    explicit ThemeManager(QObject *parent);
    AppTheme m_theme;
    StoredSettings m_settings;
};

} // namespace corvane
