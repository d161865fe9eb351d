// The help and about card: identity pills, shortcut caps in this platform's words, links
// that open only safe addresses when their whole tile is clicked. PNGs go to <build>/effects-png.
#include "platform/Haptics.h"
#include "ui/effects/EffectsTestUtil.h"
#include "ui/effects/HelpAbout.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QQuickItem>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;

namespace {

// Receives what QDesktopServices would hand to the desktop.
class UrlSink : public QObject {
    Q_OBJECT
public:
    UrlSink()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "handle");
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), this, "handle");
    }
    ~UrlSink() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    }
    QList<QUrl> urls;
public slots:
    void handle(const QUrl &url) { urls << url; }
};

struct Card : HostedView {
    Card()
    {
        if (!load(QStringLiteral("qrc:/Corvane/HelpAboutCard.qml"), {620, 700}))
            return;
        const QSizeF natural(item()->implicitWidth(), item()->implicitHeight());
        window.resize(natural.toSize());
        item()->setSize(natural);
        window.show();
    }
    // Repeater delegates hang off the item tree, not the object tree.
    static QQuickItem *find(QQuickItem *root, const QString &name)
    {
        if (root->objectName() == name)
            return root;
        for (QQuickItem *c : root->childItems())
            if (QQuickItem *hit = find(c, name))
                return hit;
        return nullptr;
    }
    QRectF rectOf(const char *name) const
    {
        QQuickItem *i = find(item(), QString::fromUtf8(name));
        return i ? i->mapRectToScene(QRectF(0, 0, i->width(), i->height())) : QRectF();
    }
};

struct LinkCase {
    const char *name;
    const char *target;
    bool opens;
};

void PrintTo(const LinkCase &c, std::ostream *os) { *os << c.name; }

class LinkTargets : public testing::TestWithParam<LinkCase> {};

} // namespace

TEST_P(LinkTargets, OnlyWellFormedHttpsAndMailtoOpen)
{
    EXPECT_EQ(HelpAbout::safeLinkUrl(QString::fromUtf8(GetParam().target)).has_value(), GetParam().opens);
}

INSTANTIATE_TEST_SUITE_P(
    Links, LinkTargets,
    testing::Values(LinkCase{"WebSite", "https://corvane.app", true},
                    LinkCase{"MailTo", "mailto:support@corvane.app", true},
                    LinkCase{"PlainHttp", "http://corvane.app", false},
                    LinkCase{"Script", "javascript:alert(1)", false},
                    LinkCase{"LocalFile", "file:///etc/passwd", false},
                    LinkCase{"NoScheme", "corvane.app", false},
                    LinkCase{"BlankInHost", "https://corvane .app", false},
                    LinkCase{"CredentialsInLink", "https://user:pw@corvane.app", false},
                    LinkCase{"MailToNotAnAddress", "mailto:support", false}),
    [](const testing::TestParamInfo<LinkCase> &i) { return std::string(i.param.name); });

TEST(HelpAbout, KeyCapsInThePlatformsWords)
{
    HelpAbout h;
    EXPECT_EQ(h.keyCaps(QStringLiteral("Ctrl+D")), (QStringList{"Ctrl", "D"}));
    EXPECT_EQ(h.keyCaps(QStringLiteral("Ctrl+Shift+F")), (QStringList{"Ctrl", "Shift", "F"}));
    EXPECT_EQ(h.keyCaps(QStringLiteral("Ctrl++")), (QStringList{"Ctrl", "+"}));
}

TEST(HelpAboutCard, IdentityPillsReadTheApplicationOrShowADash)
{
    const QString savedVersion = QCoreApplication::applicationVersion();
    const QString savedId = QGuiApplication::desktopFileName();
    QCoreApplication::setApplicationVersion(QString());
    QGuiApplication::setDesktopFileName(QString());
    {
        Card c;
        ASSERT_TRUE(c.item()) << c.harness.warnings().join('\n').toStdString();
        EXPECT_EQ(c.child<QObject>("versionPill")->property("value").toString(), QStringLiteral("—"));
        EXPECT_EQ(c.child<QObject>("bundlePill")->property("value").toString(), QStringLiteral("—"));
    }
    QCoreApplication::setApplicationVersion(QStringLiteral("2.2.7"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.corvane.Corvane"));
    {
        Card c;
        ASSERT_TRUE(c.item());
        EXPECT_EQ(c.child<QObject>("versionPill")->property("value").toString(), QStringLiteral("2.2.7"));
        EXPECT_EQ(c.child<QObject>("bundlePill")->property("value").toString(), QStringLiteral("org.corvane.Corvane"));
        // The identifier is set smaller than the version and build.
        EXPECT_EQ(c.child<QObject>("bundlePill")->property("valueSize").toReal(), 9);
        EXPECT_EQ(c.child<QObject>("versionPill")->property("valueSize").toReal(), 12);
        EXPECT_TRUE(c.harness.warnings().isEmpty()) << c.harness.warnings().join('\n').toStdString();
    }
    QCoreApplication::setApplicationVersion(savedVersion);
    QGuiApplication::setDesktopFileName(savedId);
}

TEST(HelpAboutCard, ShortcutsTwoPerLineInReadingOrder)
{
    Card c;
    ASSERT_TRUE(c.item());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&c.window));
    const QRectF barMode = c.rectOf("shortcut_Ctrl+D");
    const QRectF desktop = c.rectOf("shortcut_Ctrl+Shift+D");
    const QRectF front = c.rectOf("shortcut_Ctrl+Shift+F");
    const QRectF close = c.rectOf("shortcut_Ctrl+W");
    ASSERT_FALSE(barMode.isEmpty());
    EXPECT_EQ(barMode.top(), desktop.top());
    EXPECT_LT(barMode.left(), desktop.left());
    EXPECT_EQ(front.top(), close.top());
    EXPECT_GT(front.top(), barMode.bottom());
    EXPECT_EQ(front.left(), barMode.left());
}

TEST(HelpAboutCard, ClickAnywhereOnALinkTileOpensItAfterATap)
{
    UrlSink sink;
    Card c;
    ASSERT_TRUE(c.item());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&c.window));
    Haptics::shared()->clear();

    // The empty stretch between the texts and the arrow of the web-site tile.
    const QRectF site = c.rectOf("link_Site oficial");
    ASSERT_FALSE(site.isEmpty());
    QTest::mouseClick(&c.window, Qt::LeftButton, {}, QPointF(site.right() - 40, site.center().y()).toPoint());
    // The mail tile, near its bottom-left corner inside the rounded edge.
    const QRectF mail = c.rectOf("link_Suport email");
    QTest::mouseClick(&c.window, Qt::LeftButton, {}, QPointF(mail.left() + 6, mail.bottom() - 6).toPoint());

    EXPECT_EQ(sink.urls, (QList<QUrl>{QUrl(QStringLiteral("https://corvane.app")),
                                      QUrl(QStringLiteral("mailto:support@corvane.app"))}));
    EXPECT_EQ(Haptics::shared()->performed(), (QList<int>{Haptics::Generic, Haptics::Generic}));
}

TEST(HelpAboutCard, RendersAtItsNaturalSize)
{
    QCoreApplication::setApplicationVersion(QStringLiteral("0.1"));
    Card c;
    ASSERT_TRUE(c.item());
    c.window.setColor(QColor::fromRgbF(0.03f, 0.04f, 0.07f));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&c.window));
    const QImage img = c.window.grabWindow();
    savePng(img, QStringLiteral("help-about-card.png"));
    EXPECT_GE(img.height(), 400);
    EXPECT_TRUE(c.harness.warnings().isEmpty()) << c.harness.warnings().join('\n').toStdString();
}

#include "HelpAboutCard_test.moc"
