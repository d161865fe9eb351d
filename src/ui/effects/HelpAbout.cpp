#include "ui/effects/HelpAbout.h"

#include "platform/Haptics.h"
#include "ui/shared/ViewRules.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QRegularExpression>

#ifndef CORVANE_BUILD_NUMBER
#define CORVANE_BUILD_NUMBER ""
#endif

namespace corvane {

namespace {
const QString kDash = QStringLiteral("—");

QString orDash(const QString &s)
{
    return s.isEmpty() ? kDash : s;
}
} // namespace

QString HelpAbout::version() const { return orDash(QCoreApplication::applicationVersion()); }

// A build setting (CORVANE_BUILD_NUMBER); Linux has no bundle to carry one.
QString HelpAbout::build() const { return orDash(QStringLiteral(CORVANE_BUILD_NUMBER)); }

QString HelpAbout::bundleIdentifier() const { return orDash(QGuiApplication::desktopFileName()); }

QStringList HelpAbout::keyCaps(const QString &portableSequence) const
{
    const QString text = ViewRules::shortcutText(portableSequence);
    QStringList caps = text.split(QLatin1Char('+'), Qt::SkipEmptyParts);
    if (text.endsWith(QLatin1Char('+'))) // the plus key itself
        caps.append(QStringLiteral("+"));
    return caps;
}

std::optional<QUrl> HelpAbout::safeLinkUrl(const QString &target)
{
    const QUrl url(target, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return std::nullopt;
    if (url.scheme() == QLatin1String("https") && !url.host().isEmpty() && url.userInfo().isEmpty())
        return url;
    static const QRegularExpression address(QStringLiteral("^[^@\\s/?#]+@[^@\\s/?#]+\\.[^@\\s/?#]+$"));
    if (url.scheme() == QLatin1String("mailto") && address.match(url.path()).hasMatch() && url.host().isEmpty())
        return url;
    return std::nullopt;
}

bool HelpAbout::openLink(const QString &target) const
{
    Haptics::shared()->perform(Haptics::Generic);
    const auto url = safeLinkUrl(target);
    if (!url)
        return false;
    QDesktopServices::openUrl(*url);
    return true;
}

} // namespace corvane
