#include "state/QuickTestTable.h"
#include "state/SidebarTab.h"

namespace corvane {

namespace {
QVariantMap toMap(const QuickTestEntry &e)
{
    const auto text = [](const char *s) { return QString::fromUtf8(s); };
    return {{QStringLiteral("kind"), text(e.raw)},         {QStringLiteral("screen"), text(e.screen)},
            {QStringLiteral("cardTitle"), text(e.cardTitle)},
            {QStringLiteral("tileTitle"), text(e.tileTitle)}, {QStringLiteral("symbol"), text(e.symbol)},
            {QStringLiteral("badge"), text(e.badge)},      {QStringLiteral("blurb"), text(e.blurb)},
            {QStringLiteral("tone"), text(e.tone)},        {QStringLiteral("gradient"), text(e.gradient)}};
}
} // namespace

QVariantList QuickTestTable::offered() const
{
    QVariantList out;
    for (const QuickTestEntry &e : QuickTests::table())
        if (e.offered)
            out << toMap(e);
    return out;
}

QString QuickTestTable::screen(const QString &kind) const
{
    for (const QuickTestEntry &e : QuickTests::table())
        if (kind == QLatin1String(e.raw))
            return QString::fromUtf8(e.screen);
    return {};
}

} // namespace corvane
