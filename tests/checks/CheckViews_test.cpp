// The tests hub, the quick-test sheet and the CPU, GPU, RAM and speed-test screens, driven with
// real pointer events on a window.
#include "checks/CPUStresser.h"
#include "checks/NetworkSpeedTester.h"
#include "common/AppVersion.h"
#include "platform/Haptics.h"
#include "state/AppState.h"
#include "state/ThemeManager.h"
#include "support/LoopbackSpeedServer.h"
#include "support/QmlTestUtil.h"

#include <QDir>
#include <QMap>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvane;
using corvane::test::QmlHarness;

namespace {

void collect(QQuickItem *item, const QString &name, QList<QQuickItem *> &out)
{
    if (item->objectName() == name)
        out << item;
    for (QQuickItem *child : item->childItems())
        collect(child, name, out);
}

// The process's threads by name, less Qt's pool threads: those come and go with what Qt hands
// them (a large fill, an image decode) and idle 30 s before they end.
QStringList ownThreads()
{
    QStringList names;
    for (const QString &t : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(t));
        const QString name = comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll()).trimmed() : QString();
        if (name != QStringLiteral("Thread (pooled)"))
            names << name;
    }
    return names;
}
int threadCount() { return int(ownThreads().size()); }

struct ViewFixture : ::testing::Test {
    AppState hub{nullptr};
    QmlHarness h;
    QQuickWindow window;
    std::unique_ptr<QObject> root;

    void SetUp() override
    {
        QSettings().clear();
        Haptics::shared()->clear();
        ThemeManager::shared()->setTheme(AppTheme::aurora);
        window.resize(1280, 800);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override
    {
        root.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
    }
    QQuickItem *load(const char *name, const QVariantMap &initial = {})
    {
        root = h.createFile(QStringLiteral("qrc:/Corvane/%1.qml").arg(QLatin1String(name)), initial);
        auto *item = qobject_cast<QQuickItem *>(root.get());
        if (item) {
            item->setParentItem(window.contentItem());
            item->setSize(window.size());
        }
        if (!test::waitForFrames(window))
            ADD_FAILURE() << "the window drew no frame";
        return item;
    }
    QList<QQuickItem *> all(const QString &name)
    {
        QList<QQuickItem *> out;
        collect(window.contentItem(), name, out);
        return out;
    }
    QQuickItem *find(const QString &name)
    {
        const auto items = all(name);
        return items.isEmpty() ? nullptr : items.first();
    }
    QQuickItem *findVisible(const QString &name)
    {
        for (QQuickItem *i : all(name))
            if (i->isVisible())
                return i;
        return nullptr;
    }
    QString text(const QString &name)
    {
        QQuickItem *i = findVisible(name);
        return i ? i->property("text").toString() : QStringLiteral("<missing>");
    }
    // A press and release at the middle of the item, as the user does it.
    void click(QQuickItem *item)
    {
        ASSERT_TRUE(item);
        ASSERT_TRUE(item->isVisible());
        const QPoint at = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
        QTest::mouseClick(&window, Qt::LeftButton, {}, at);
        ASSERT_TRUE(test::waitForFrames(window));
    }
    bool sheetOpen()
    {
        QQuickItem *p = find(QStringLiteral("quickTestPanel"));
        return p && p->isVisible();
    }
};

class EveryCheckFileLoads : public ViewFixture, public ::testing::WithParamInterface<const char *> {};
TEST_P(EveryCheckFileLoads, WithoutWarnings)
{
    ASSERT_TRUE(load(GetParam())) << h.warnings().join('\n').toStdString();
    ASSERT_TRUE(test::waitForFrames(window, 2));
}
INSTANTIATE_TEST_SUITE_P(Checks, EveryCheckFileLoads,
                         ::testing::Values("TestsView", "QuickTestSheet", "QuickTestPanel", "CPUStressTestView",
                                           "GPUStressTestView", "RAMInfoView", "TestReportCard", "CorvaneBrandHeader",
                                           "StressTile", "StressHeader"));

TEST_F(ViewFixture, HubListsSixCardsWithUpperCaseBadges)
{
    ASSERT_TRUE(load("TestsView"));
    QStringList kinds;
    for (const char *k : {"ssd", "network", "cpu", "gpu", "pixel", "speakers", "ram"})
        if (find(QStringLiteral("testCard_") + k))
            kinds << k;
    EXPECT_EQ(kinds, (QStringList{"ssd", "network", "cpu", "gpu", "pixel", "speakers"}));
    QStringList badges;
    for (QQuickItem *b : all(QStringLiteral("badge")))
        if (!b->property("text").toString().isEmpty())
            badges << b->property("text").toString();
    EXPECT_EQ(badges, (QStringList{"READ + WRITE", "MBPS · PING", "SHA-256", "RENDER LOOP", "PIXELI MORȚI",
                                   "STEREO + WAVEFORM"}));
    // Cards of the first row sit side by side, the GPU card starts the second.
    EXPECT_EQ(find("testCard_ssd")->y(), find("testCard_cpu")->y());
    EXPECT_GT(find("testCard_gpu")->y(), find("testCard_ssd")->y());
    EXPECT_EQ(text("version"), QStringLiteral("Versiunea ") + appVersion()); // the build's, as everywhere
    // Asking for a test from outside is the dashboard's business, not the hub's.
    hub.setPendingQuickTestRaw(QStringLiteral("cpu"));
    ASSERT_TRUE(test::waitForFrames(window));
    EXPECT_FALSE(sheetOpen());
}

TEST_F(ViewFixture, CpuCardOpensAFreshRunningSheetAndClosingStopsIt)
{
    QQuickItem *hubView = load("TestsView");
    ASSERT_TRUE(hubView);
    const int before = threadCount();
    QQuickItem *card = find("testCard_cpu");
    QList<QQuickItem *> buttons;
    collect(card, QStringLiteral("openButton"), buttons);
    ASSERT_EQ(buttons.size(), 1);
    click(buttons.first());
    ASSERT_TRUE(sheetOpen());
    EXPECT_EQ(hubView->property("active").toString(), QStringLiteral("cpu"));
    EXPECT_TRUE(Haptics::shared()->performed().contains(int(Haptics::LevelChange))) << QDebug::toString(Haptics::shared()->performed()).toStdString();
    EXPECT_EQ(text("pill"), QStringLiteral("ÎN EXECUȚIE"));
    EXPECT_EQ(findVisible("runButton")->property("text").toString(), QStringLiteral("STOP"));
    EXPECT_GT(threadCount(), before); // the workers run

    click(findVisible("closeButton"));
    EXPECT_FALSE(sheetOpen());
    EXPECT_EQ(hubView->property("active").toString(), QString());
    // Workers joined; the private monitor's sampler may linger briefly.
    QTRY_VERIFY_WITH_TIMEOUT(threadCount() <= before + 1, 3000) << ownThreads().join(", ").toStdString();

    // Opening again gives a new screen with a new run.
    click(buttons.first());
    ASSERT_TRUE(sheetOpen());
    EXPECT_EQ(text("pill"), QStringLiteral("ÎN EXECUȚIE"));
    QTest::keyClick(&window, Qt::Key_Escape);
    QTRY_VERIFY(!sheetOpen());
    EXPECT_EQ(hubView->property("active").toString(), QString());
}

TEST_F(ViewFixture, SsdCardOpensTheDiskTestAndItsCloseEndsTheSheet)
{
    QQuickItem *hubView = load("TestsView");
    QList<QQuickItem *> buttons;
    collect(find("testCard_ssd"), QStringLiteral("openButton"), buttons);
    click(buttons.value(0));
    ASSERT_TRUE(sheetOpen());
    ASSERT_NE(find("writeGauge"), nullptr);
    click(find("closeButton"));
    EXPECT_FALSE(sheetOpen());
    EXPECT_EQ(hubView->property("active").toString(), QString());
}

TEST_F(ViewFixture, SheetOpensOnceItsHostIsShown)
{
    // A tab built while hidden: the kind arrives before the sheet is visible in a window.
    root = h.create(R"(
        import QtQuick
        import Corvane
        Item {
            property alias kind: sheet.kind
            visible: false
            QuickTestSheet { id: sheet; kind: "ram" }
        }
    )");
    auto *item = qobject_cast<QQuickItem *>(root.get());
    ASSERT_TRUE(item);
    ASSERT_TRUE(test::waitForFrames(window));
    EXPECT_FALSE(sheetOpen());
    item->setParentItem(window.contentItem());
    item->setSize(window.size());
    ASSERT_TRUE(test::waitForFrames(window));
    EXPECT_FALSE(sheetOpen()); // still hidden
    item->setVisible(true);
    QTRY_VERIFY(sheetOpen());
    EXPECT_TRUE(text("pill").startsWith(QStringLiteral("Presiune: ")));
    // A new value while open shows that test.
    item->setProperty("kind", QString());
    QTRY_VERIFY(!sheetOpen());
    item->setProperty("kind", QStringLiteral("gpu"));
    QTRY_VERIFY(sheetOpen());
    EXPECT_EQ(text("pill"), QStringLiteral("ÎN EXECUȚIE"));
}

TEST_F(ViewFixture, ReportCardRowsAndActions)
{
    const QVariantMap line{{"label", "Peak"}, {"value", "1.00 MH/s"}, {"color", QColor(Qt::red)}};
    QVariantMap initial{{"title", "Cpu Stress Test"}, {"subtitle", "SHA-256 soak · 8 fire · 30s"},
                        {"lines", QVariantList{line, line, line}}};
    root = h.create(R"(
        import QtQuick
        import Corvane
        Item {
            property alias card: card
            property int closed: 0
            property int reruns: 0
            property bool withRerun: false
            property bool withClose: false
            TestReportCard {
                id: card
                objectName: "card"
                width: 700
                rerunAction: parent.withRerun ? function() { parent.reruns++ } : null
                closeAction: parent.withClose ? function() { parent.closed++ } : null
            }
        }
    )");
    auto *item = qobject_cast<QQuickItem *>(root.get());
    ASSERT_TRUE(item);
    item->setParentItem(window.contentItem());
    QObject *card = item->property("card").value<QObject *>();
    for (auto it = initial.begin(); it != initial.end(); ++it)
        card->setProperty(it.key().toUtf8(), it.value());
    ASSERT_TRUE(test::waitForFrames(window));
    EXPECT_EQ(text("cardTitle"), QStringLiteral("CPU STRESS TEST"));
    EXPECT_EQ(text("cardSubtitle"), QStringLiteral("SHA-256 soak · 8 fire · 30s"));
    const auto rows = all(QStringLiteral("reportRow"));
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0]->y(), rows[1]->y());
    EXPECT_GT(rows[2]->y(), rows[0]->y());
    EXPECT_EQ(rows[2]->x(), rows[0]->x()); // the odd row leaves the right cell empty
    EXPECT_FALSE(find("actions")->isVisible());

    item->setProperty("withClose", true);
    QTRY_VERIFY(find("actions")->isVisible());
    EXPECT_FALSE(find("rerunButton")->isVisible());
    Haptics::shared()->clear();
    click(find("closeButton"));
    EXPECT_EQ(item->property("closed").toInt(), 1);
    EXPECT_EQ(Haptics::shared()->performed().value(0), int(Haptics::Generic));

    item->setProperty("withRerun", true);
    QTRY_VERIFY(find("rerunButton")->isVisible());
    ASSERT_TRUE(test::waitForFrames(window)); // laid out where it is drawn
    click(find("rerunButton"));
    EXPECT_EQ(item->property("reruns").toInt(), 1);
    EXPECT_LT(find("rerunButton")->mapToScene({}).x(), find("closeButton")->mapToScene({}).x());
}

TEST_F(ViewFixture, CpuScreenStopsIntoItsResultCardAndRunsAgain)
{
    QQuickItem *view = load("CPUStressTestView");
    ASSERT_TRUE(view);
    QSignalSpy dismissed(view, SIGNAL(dismiss()));
    EXPECT_EQ(text("pill"), QStringLiteral("ÎN EXECUȚIE"));
    ASSERT_TRUE(test::waitForFrames(window, 2));
    click(findVisible("runButton"));
    EXPECT_EQ(text("pill"), QStringLiteral("FINALIZAT"));
    ASSERT_TRUE(findVisible("reportCard"));
    EXPECT_EQ(all(QStringLiteral("reportRow")).size(), 8);
    const QString ran = QString::number(CPUStresser::activeProcessorCount());
    EXPECT_TRUE(text("cardSubtitle").startsWith(QStringLiteral("SHA-256 soak · ") + ran + QStringLiteral(" fire · ")));
    EXPECT_FALSE(findVisible("gauges"));
    // The stepper sets up the next run; the card keeps describing the one that ran.
    const QString subtitle = text("cardSubtitle");
    const auto threadsRow = [&] {
        for (QQuickItem *row : all(QStringLiteral("reportRow"))) {
            QList<QQuickItem *> label, value;
            collect(row, QStringLiteral("rowLabel"), label);
            collect(row, QStringLiteral("rowValue"), value);
            if (label.value(0) && label.value(0)->property("text").toString() == QStringLiteral("Threads"))
                return value.value(0)->property("text").toString();
        }
        return QStringLiteral("<missing>");
    };
    EXPECT_EQ(threadsRow(), ran);
    click(findVisible("threadsUp"));
    EXPECT_EQ(text("threadsValue"), QString::number(ran.toInt() + 1));
    EXPECT_EQ(text("cardSubtitle"), subtitle);
    EXPECT_EQ(threadsRow(), ran);
    // The screen follows the engine's phase, not its wording.
    const QMetaProperty phase = CPUStresser::staticMetaObject.property(CPUStresser::staticMetaObject.indexOfProperty("phase"));
    EXPECT_TRUE(phase.isEnumType());
    click(findVisible("rerunButton"));
    EXPECT_EQ(text("pill"), QStringLiteral("ÎN EXECUȚIE"));
    EXPECT_FALSE(findVisible("reportCard"));
    click(findVisible("closeButton"));
    EXPECT_EQ(dismissed.count(), 1);
}

TEST_F(ViewFixture, RamScreenShowsTheReading)
{
    QQuickItem *view = load("RAMInfoView");
    ASSERT_TRUE(view);
    QSignalSpy dismissed(view, SIGNAL(dismiss()));
    EXPECT_TRUE(text("pill").startsWith(QStringLiteral("Presiune: ")));
    EXPECT_TRUE(text("blockCaption").startsWith(QStringLiteral("din ")));
    QStringList labels;
    for (QQuickItem *l : all(QStringLiteral("cellLabel")))
        labels << l->property("text").toString();
    EXPECT_EQ(labels, (QStringList{"ACTIV", "WIRED", "COMPRIMAT", "INACTIV", "SPECULATIV", "PURGEABLE", "FILE-BACKED",
                                   "APLICAȚII", "PARTAJAT"}));
    // Linux keeps no speculative or purgeable pages: no figure rather than a made-up zero.
    QStringList values;
    for (QQuickItem *v : all(QStringLiteral("cellValue")))
        values << v->property("text").toString();
    ASSERT_EQ(values.size(), 9);
    EXPECT_EQ(values[4], QStringLiteral("—"));
    EXPECT_EQ(values[5], QStringLiteral("—"));
    EXPECT_EQ(values.count(QStringLiteral("—")), 2) << values.join(", ").toStdString();
    Haptics::shared()->clear();
    click(findVisible("closeButton"));
    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_EQ(Haptics::shared()->performed().value(0), int(Haptics::Generic));
}

TEST_F(ViewFixture, SpeedTestWithoutAnAnsweredProbeShowsNoPingFigure)
{
    test::LoopbackSpeedServer server;
    ASSERT_TRUE(server.isListening()) << server.error().toStdString();
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.addCaCertificate(server.certificate());
    QSslConfiguration::setDefaultConfiguration(ssl);
    // Every probe fails (slowly enough to shrink the uploads first); downloads are short.
    server.setFaults({.traceFails = true, .traceDelayMs = 100, .downloadBodyBytes = 200'000});
    QSettings().setValue("speedtest.host", server.host());
    ASSERT_TRUE(load("TestsView"));
    QList<QQuickItem *> buttons;
    collect(find("testCard_network"), QStringLiteral("openButton"), buttons);
    click(buttons.value(0));
    ASSERT_TRUE(sheetOpen());
    // The sheet's own engine: its uploads are shrunk too (the phase reads the size as it starts).
    NetworkSpeedTester *tester = nullptr;
    for (QQuickItem *i = find("downGauge"); i && !tester; i = i->parentItem())
        tester = qobject_cast<NetworkSpeedTester *>(i->property("tester").value<QObject *>());
    ASSERT_TRUE(tester);
    tester->setUploadBytes(1);
    QQuickItem *pingTile = findVisible("tileValue");
    ASSERT_TRUE(pingTile);
    EXPECT_EQ(pingTile->property("text").toString(), QStringLiteral("—"));
    // Screens to look at: CORVANE_SHOTS=<folder> writes the running sheet and its card.
    const QString shots = qEnvironmentVariable("CORVANE_SHOTS");
    if (!shots.isEmpty())
        window.grabWindow().save(shots + "/speedtest-running.png");
    QTRY_VERIFY_WITH_TIMEOUT(findVisible("reportCard"), 120000);
    if (!shots.isEmpty())
        window.grabWindow().save(shots + "/speedtest-card.png");
    QString ping;
    for (QQuickItem *row : all(QStringLiteral("reportRow")))
        if (row->property("label").toString() == QLatin1String("Ping"))
            ping = row->property("value").toString();
    EXPECT_EQ(ping, QStringLiteral("—"));
    EXPECT_EQ(text("phaseBadge"), QStringLiteral("FINALIZAT"));
    click(findVisible("closeButton"));
    EXPECT_FALSE(sheetOpen());
    QSettings().remove("speedtest.host");
}

// Every download stream fails: nothing was measured, so both gauges (their needles at rest)
// and both peaks read "—" beside the error, not 0 Mbps.
TEST_F(ViewFixture, SpeedTestWhoseDownloadFailsShowsNoFigures)
{
    test::LoopbackSpeedServer server;
    ASSERT_TRUE(server.isListening()) << server.error().toStdString();
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.addCaCertificate(server.certificate());
    QSslConfiguration::setDefaultConfiguration(ssl);
    server.setFaults({.status500 = true});
    QSettings().setValue("speedtest.host", server.host());
    ASSERT_TRUE(load("NetworkSpeedTestView"));
    QTRY_COMPARE_WITH_TIMEOUT(text("statusText"), QStringLiteral("Eroare download: serverul a răspuns HTTP 500"), 120000);
    QStringList shown;
    for (const char *gauge : {"downGauge", "upGauge"})
        shown << test::findItem(find(gauge), QStringLiteral("readout"))->property("text").toString();
    for (QQuickItem *tile : all(QStringLiteral("tileValue")).mid(1, 2)) // PEAK DOWN, PEAK UP
        shown << tile->property("text").toString();
    EXPECT_EQ(shown, QStringList(4, QStringLiteral("—")));
    QSettings().remove("speedtest.host");
}

TEST_F(ViewFixture, GpuScreenRunsAndStopsWithoutOpenGL)
{
    ASSERT_TRUE(load("GPUStressTestView"));
    EXPECT_EQ(text("pill"), QStringLiteral("ÎN EXECUȚIE"));
    // No display refresh to follow here (no frames, no nominal rate): dashes, not zeros.
    QMap<QString, QString> tiles;
    for (QQuickItem *value : all(QStringLiteral("tileValue"))) {
        QQuickItem *tile = value;
        while (tile && !tile->property("valueSize").isValid())
            tile = tile->parentItem();
        if (tile)
            tiles[tile->property("label").toString()] = value->property("text").toString();
    }
    EXPECT_EQ(tiles.value("FPS LIVE"), QStringLiteral("—"));
    EXPECT_EQ(tiles.value("REFRESH"), QStringLiteral("—"));
    EXPECT_FALSE(tiles.value("VRAM").startsWith(QLatin1Char('0'))) << tiles.value("VRAM").toStdString();
    ASSERT_TRUE(test::waitForFrames(window, 2));
    click(findVisible("runButton"));
    EXPECT_EQ(text("pill"), QStringLiteral("STANDBY"));
    ASSERT_TRUE(findVisible("reportCard"));
    EXPECT_EQ(all(QStringLiteral("reportRow")).size(), 8);
    EXPECT_FALSE(find("stressView")); // the renderer went with the live panels
}

} // namespace
