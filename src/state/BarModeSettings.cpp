#include "state/BarModeSettings.h"

#include <cmath>

#include <QCoreApplication>
#include <QJSEngine>

namespace corvane {

namespace {
BarModeSettings *s_shared = nullptr;

struct PillRow {
    BarModeSettings::Pill pill;
    const char *raw;
    const char *title;
    const char *icon;
};
// Strip order, settings-grid order.
const PillRow kPills[] = {
    {BarModeSettings::Pill::brand, "brand", "Brand Corvane", "skull.fill"},
    {BarModeSettings::Pill::system, "system", "CPU / RAM / GPU", "cpu"},
    {BarModeSettings::Pill::fps, "fps", "FPS", "speedometer"},
    {BarModeSettings::Pill::network, "network", "Rețea", "wifi"},
    {BarModeSettings::Pill::storage, "storage", "SSD R/W", "internaldrive"},
    {BarModeSettings::Pill::disk, "disk", "Spațiu liber", "externaldrive.fill"},
    {BarModeSettings::Pill::battery, "battery", "Baterie", "battery.100"},
    {BarModeSettings::Pill::thermal, "thermal", "Termal", "thermometer.medium"},
    {BarModeSettings::Pill::temperature, "temperature", "Temperaturi CPU/GPU", "thermometer.high"},
    {BarModeSettings::Pill::fans, "fans", "Ventilatoare", "fanblades.fill"},
    {BarModeSettings::Pill::privacy, "privacy", "Privacy CAM/MIC", "eye.slash"},
    {BarModeSettings::Pill::uptime, "uptime", "Uptime", "clock"},
    {BarModeSettings::Pill::calendar, "calendar", "Agenda", "calendar"},
    {BarModeSettings::Pill::clock, "clock", "Ceas", "clock.fill"},
};
const PillRow &row(BarModeSettings::Pill p) { return kPills[static_cast<int>(p)]; }
} // namespace

BarModeSettings::BarModeSettings(QObject *parent) : QObject(parent) {}

BarModeSettings *BarModeSettings::shared()
{
    if (!s_shared) {
        s_shared = new BarModeSettings(QCoreApplication::instance());
        QObject::connect(s_shared, &QObject::destroyed, [] { s_shared = nullptr; });
    }
    return s_shared;
}

BarModeSettings *BarModeSettings::create(QQmlEngine *, QJSEngine *)
{
    auto *s = shared();
    QJSEngine::setObjectOwnership(s, QJSEngine::CppOwnership);
    return s;
}

QList<BarModeSettings::Pill> BarModeSettings::allPills()
{
    QList<Pill> out;
    for (const auto &r : kPills)
        out << r.pill;
    return out;
}

QString BarModeSettings::rawValue(Pill p) { return QString::fromLatin1(row(p).raw); }
QString BarModeSettings::title(Pill p) { return QString::fromUtf8(row(p).title); }
QString BarModeSettings::icon(Pill p) { return QString::fromLatin1(row(p).icon); }
// Every flag lives under "bar.pill." + raw value (the frame-rate pill included).
QString BarModeSettings::key(Pill p) { return QStringLiteral("bar.pill.") + rawValue(p); }

std::optional<BarModeSettings::Pill> BarModeSettings::pillFromRaw(const QString &raw)
{
    for (const auto &r : kPills)
        if (raw == QLatin1String(r.raw))
            return r.pill;
    return std::nullopt;
}

QString BarModeSettings::rawValue(Position p) { return p == Position::bottom ? QStringLiteral("bottom") : QStringLiteral("top"); }
QString BarModeSettings::label(Position p) { return p == Position::bottom ? QStringLiteral("Jos") : QStringLiteral("Sus"); }

std::optional<BarModeSettings::Position> BarModeSettings::positionFromRaw(const QString &raw)
{
    if (raw == u"top")
        return Position::top;
    if (raw == u"bottom")
        return Position::bottom;
    return std::nullopt;
}

BarModeSettings::Position BarModeSettings::decodePosition(const QString &stored)
{
    return stored == u"bottom" ? Position::bottom : Position::top;
}

QString BarModeSettings::positionRaw() const
{
    return m_settings.value(QStringLiteral("bar.position"), QStringLiteral("top")).toString();
}

void BarModeSettings::setPositionRaw(const QString &raw)
{
    if (raw == positionRaw())
        return;
    m_settings.write(QStringLiteral("bar.position"), raw);
    emit positionRawChanged();
}

double BarModeSettings::usableHeight(double h)
{
    return std::isfinite(h) && h >= kHeightMin && h <= kHeightMax ? h : kHeightDefault;
}

double BarModeSettings::height() const
{
    return usableHeight(m_settings.readDouble(QStringLiteral("bar.height"), kHeightDefault));
}

void BarModeSettings::setHeight(double value)
{
    const double h = usableHeight(value);
    if (h == height())
        return;
    m_settings.write(QStringLiteral("bar.height"), h);
    emit heightChanged();
}

bool BarModeSettings::isVisible(Pill p) const { return m_settings.readBool(key(p), true); }

void BarModeSettings::toggle(Pill p)
{
    m_settings.write(key(p), !isVisible(p));
    emit pillsChanged();
}

QStringList BarModeSettings::pillRawValues() const
{
    QStringList out;
    for (const auto &r : kPills)
        out << QString::fromLatin1(r.raw);
    return out;
}

bool BarModeSettings::isVisibleRaw(const QString &pill) const
{
    const auto p = pillFromRaw(pill);
    return p && isVisible(*p);
}

void BarModeSettings::toggleRaw(const QString &pill)
{
    if (const auto p = pillFromRaw(pill))
        toggle(*p);
}

QString BarModeSettings::pillTitle(const QString &pill) const
{
    const auto p = pillFromRaw(pill);
    return p ? title(*p) : QString();
}

QString BarModeSettings::pillIcon(const QString &pill) const
{
    const auto p = pillFromRaw(pill);
    return p ? icon(*p) : QString();
}

} // namespace corvane
