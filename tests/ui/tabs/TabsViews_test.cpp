// The activity, ports and crash-log tabs as a user meets them: real clicks and keys on the
// window, histories read back from the files the notifiers wrote.
#include "fakes/FakeClock.h"
#include "fakes/FakeCoredumpJournal.h"
#include "fakes/FakeDesktopOpener.h"
#include "fakes/FakeDisplaySource.h"
#include "fakes/FakeNotifications.h"
#include "fakes/FakeProcessSignals.h"
#include "fakes/MonitorFeeds.h"
#include "monitors/BatteryMonitor.h"
#include "notify/BatteryHistory.h"
#include "notify/PrivacyNotifier.h"
#include "platform/Haptics.h"
#include "platform/PowerSources.h"
#include "platform/ProcessTable.h"
#include "platform/UsbRegistry.h"
#include "state/AppState.h"
#include "state/ThemeManager.h"
#include "support/HistoryWait.h"
#include "support/QmlTestUtil.h"
#include "ui/tabs/CrashLogReader.h"
#include "ui/shared/KeyedListModel.h"
#include "ui/tabs/ProcessTerminator.h"

#include <QDir>
#include <QFile>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QTest>
#include "ui/tabs/TabsTestPrint.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace corvane;
using namespace corvane::test;

namespace {

void collect(QQuickItem *item, const QString &name, QList<QQuickItem *> &out)
{
    if (item->objectName() == name)
        out << item;
    for (QQuickItem *child : item->childItems())
        collect(child, name, out);
}

QList<QQuickItem *> itemsNamed(QQuickItem *root, const QString &name)
{
    QList<QQuickItem *> out;
    if (root)
        collect(root, name, out);
    return out;
}

QStringList texts(QQuickItem *root, const QString &name)
{
    QStringList out;
    for (QQuickItem *i : itemsNamed(root, name))
        if (i->isVisible())
            out << i->property("text").toString();
    return out;
}

struct TabFixture : ::testing::Test {
    AppState hub{nullptr};
    QmlHarness h;
    QQuickWindow window;
    std::unique_ptr<QObject> view;

    void SetUp() override
    {
        QSettings().clear();
        Haptics::shared()->clear();
        ThemeManager::shared()->setTheme(AppTheme::aurora);
        window.resize(1180, 760);
        window.show();
    }
    QQuickItem *root() { return window.contentItem(); }
    QQuickItem *load(const char *name, const QVariantMap &initial = {})
    {
        view = h.createFile(QStringLiteral("qrc:/Corvane/%1.qml").arg(QLatin1String(name)), initial);
        auto *item = qobject_cast<QQuickItem *>(view.get());
        if (item) {
            item->setParentItem(window.contentItem());
            item->setSize(window.size());
        }
        settle();
        return item;
    }
    void settle()
    {
        QCoreApplication::processEvents();
        window.grabWindow(); // polish and lay out
    }
    QQuickItem *named(const QString &name, int index = 0) { return itemsNamed(root(), name).value(index); }
    void click(QQuickItem *it)
    {
        ASSERT_TRUE(it);
        const QPointF p = it->mapToScene(QPointF(it->width() / 2, it->height() / 2));
        QTest::mouseClick(&window, Qt::LeftButton, {}, p.toPoint());
        settle();
    }
    void expectNoWarnings() { EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString(); }
};

// ---- Activity --------------------------------------------------------------------------

// `start`: the fake table's generation of the pid, or a real process's start time.
ProcSnap proc(int pid, const QString &name, double cpu, quint64 mem = 100'000'000, quint64 start = 1)
{
    ProcSnap p;
    p.id = pid;
    p.pid = pid;
    p.name = name;
    p.cpuPercent = cpu;
    p.memoryBytes = mem;
    p.startTime = start;
    return p;
}

struct ActivityFixture : TabFixture {
    std::shared_ptr<FakeProcessSignals::Table> table = std::make_shared<FakeProcessSignals::Table>();
    ProcessTerminator *fakeTerminator = nullptr;

    void SetUp() override
    {
        TabFixture::SetUp();
        hub.processes()->stop(); // the lists come from the test
    }
    QQuickItem *loadWithFake()
    {
        fakeTerminator = new ProcessTerminator(std::make_unique<FakeProcessSignals>(table), 777, &window);
        fakeTerminator->setExitGraceMs(300);
        return load("ProcessesView", {{"terminator", QVariant::fromValue<QObject *>(fakeTerminator)}});
    }
    void publish(const QList<ProcSnap> &byCpu)
    {
        hub.processes()->publish({byCpu, byCpu, int(byCpu.size())});
        settle();
    }
    QQuickItem *cpuCard() { return named("card_cpu"); }
    void pressTerminate(int row) { click(itemsNamed(cpuCard(), "terminateButton").value(row)); }
    QQuickItem *alertButton(const char *text) { return named(QStringLiteral("alertButton_") + QString::fromUtf8(text)); }
    QString screenProperty(const char *p) { return view->property(p).toString(); }
    // Alerts are popups: found among the screen's objects, their items live in the overlay.
    QObject *alert(const char *name) { return view->findChild<QObject *>(QLatin1String(name)); }
    bool alertShown(const char *name) { return alert(name) && alert(name)->property("visible").toBool(); }
    QQuickItem *alertContent(const char *name) { return alert(name)->property("contentItem").value<QQuickItem *>(); }
};

TEST_F(ActivityFixture, CardsShowTheFirstEightVerbatim)
{
    loadWithFake();
    QList<ProcSnap> list;
    list << proc(10, QStringLiteral("<b>bold</b> & co"), 250);
    for (int i = 1; i < 11; ++i)
        list << proc(10 + i, QStringLiteral("p%1").arg(i), 100 - i);
    publish(list);
    EXPECT_EQ(itemsNamed(cpuCard(), "processName").size(), 8);
    EXPECT_EQ(texts(cpuCard(), "processName").first(), QStringLiteral("<b>bold</b> & co"));
    EXPECT_EQ(texts(cpuCard(), "value").first(), QStringLiteral("250.0%"));
    QQuickItem *bar = itemsNamed(cpuCard(), "bar").first();
    EXPECT_DOUBLE_EQ(itemsNamed(cpuCard(), "barFill").first()->width(), bar->width()); // full at 200 %
    EXPECT_EQ(texts(root(), "processCount"), QStringList{QStringLiteral("11 procese active")});

    publish({proc(50, QStringLiteral("solo"), 1)});
    EXPECT_EQ(texts(cpuCard(), "processName"), QStringList{QStringLiteral("solo")});
    publish({});
    EXPECT_TRUE(itemsNamed(cpuCard(), "processName").isEmpty());
    expectNoWarnings();
}

TEST_F(ActivityFixture, ConfirmedSigtermEndsARealChild)
{
    load("ProcessesView"); // the tab's own terminator, over the real kernel
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/bin/sleep", "sleep", "30", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(child, 0);
    const auto info = makeLinuxProcessTable()->taskInfo(child);
    ASSERT_TRUE(info);
    publish({proc(child, QStringLiteral("sleep"), 90, 100'000'000, info->startTime)});
    pressTerminate(0);
    ASSERT_TRUE(alertShown("confirmAlert"));
    EXPECT_EQ(texts(alertContent("confirmAlert"), "alertMessage").value(0),
              QStringLiteral("sleep (pid %1)\nNu vei putea opri procese ale altor utilizatori fără sudo.").arg(child));
    click(alertButton("Închide elegant (SIGTERM)"));

    int status = 0;
    QTRY_VERIFY(::waitpid(child, &status, WNOHANG) == child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_TRUE(screenProperty("killError").isEmpty());
    EXPECT_TRUE(view->property("pendingKill").isNull() || !view->property("pendingKill").isValid()
                || view->property("pendingKill").value<QJSValue>().isNull());
    expectNoWarnings();
}

TEST_F(ActivityFixture, EscapeAndCancelSendNothing)
{
    loadWithFake();
    table->generation[4242] = 1;
    publish({proc(4242, QStringLiteral("worker"), 50)});
    pressTerminate(0);
    QTest::keyClick(&window, Qt::Key_Escape);
    settle();
    EXPECT_FALSE(alertShown("confirmAlert"));
    pressTerminate(0);
    click(alertButton("Anulează"));
    EXPECT_TRUE(table->delivered.empty());
    EXPECT_EQ(fakeTerminator->heldPid(), 0); // released
}

// A busy list reorders under the pointer: the press picks the process, and the dialog and the
// signal stay with it while the list goes on changing.
TEST_F(ActivityFixture, DialogStaysWithThePressedProcessWhileTheListReorders)
{
    loadWithFake();
    table->generation = {{4242, 1}, {4343, 1}, {4545, 1}};
    publish({proc(4242, QStringLiteral("alpha"), 60), proc(4343, QStringLiteral("beta"), 40)});
    QQuickItem *button = itemsNamed(cpuCard(), "terminateButton").value(0);
    ASSERT_TRUE(button);
    const QPoint at = button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint();
    QTest::mousePress(&window, Qt::LeftButton, {}, at);
    publish({proc(4343, QStringLiteral("beta"), 70), proc(4242, QStringLiteral("alpha"), 30)});
    QTest::mouseMove(&window, at + QPoint(1, 1)); // a hand never holds quite still
    QTest::mouseRelease(&window, Qt::LeftButton, {}, at + QPoint(1, 1));
    settle();
    const QString message = QStringLiteral("alpha (pid 4242)\nNu vei putea opri procese ale altor utilizatori fără sudo.");
    ASSERT_TRUE(alertShown("confirmAlert"));
    EXPECT_EQ(texts(alertContent("confirmAlert"), "alertMessage").value(0), message);
    EXPECT_EQ(texts(cpuCard(), "processName"), (QStringList{QStringLiteral("beta"), QStringLiteral("alpha")}));
    // alpha leaves the list and gamma takes its row while the dialog is open.
    publish({proc(4343, QStringLiteral("beta"), 70), proc(4545, QStringLiteral("gamma"), 30)});
    EXPECT_EQ(texts(alertContent("confirmAlert"), "alertMessage").value(0), message);
    click(alertButton("Forțează (SIGKILL)"));
    ASSERT_EQ(table->delivered.size(), 1u);
    EXPECT_EQ(std::make_pair(table->delivered[0].pid, table->delivered[0].generation), std::make_pair(4242, 1));
    expectNoWarnings();
}

// The pressed process ends while the button is down, and the list refreshes under the
// pointer: the release speaks of that process, and no dialog names another.
struct EndedPress {
    const char *name;
    std::function<void(FakeProcessSignals::Table &)> ends;
    QList<ProcSnap> refreshed; // what the monitor publishes meanwhile
};
TABS_PRINT_BY_NAME(EndedPress)
class ActivityEndedPress : public ActivityFixture, public ::testing::WithParamInterface<EndedPress> {};
TEST_P(ActivityEndedPress, ReleaseSaysThePressedProcessEnded)
{
    const auto &c = GetParam();
    loadWithFake();
    table->generation = {{4242, 1}, {4343, 1}, {4545, 1}};
    const ProcSnap pressed = proc(4242, QStringLiteral("alpha"), 60);
    publish({pressed, proc(4343, QStringLiteral("beta"), 40)});
    QQuickItem *button = itemsNamed(cpuCard(), "terminateButton").value(0);
    ASSERT_TRUE(button);
    const QPoint at = button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint();
    QTest::mousePress(&window, Qt::LeftButton, {}, at);
    c.ends(*table);
    publish(c.refreshed);
    QTest::mouseMove(&window, at + QPoint(1, 0));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, at + QPoint(1, 0));
    settle();

    EXPECT_FALSE(alertShown("confirmAlert")) << texts(alertContent("confirmAlert"), "alertMessage").join('|').toStdString();
    QTRY_VERIFY(alertShown("errorAlert"));
    const QString said = screenProperty("killError");
    EXPECT_TRUE(said.contains(QStringLiteral("%1 (pid %2)").arg(pressed.name).arg(pressed.pid))) << said.toStdString();
    for (const ProcSnap &other : c.refreshed)
        if (other.name != pressed.name)
            EXPECT_FALSE(said.contains(other.name)) << said.toStdString();
    EXPECT_TRUE(table->delivered.empty());
    if (const QString shots = qEnvironmentVariable("CORVANE_SHOTS"); !shots.isEmpty())
        window.grabWindow().save(QStringLiteral("%1/activity-ended-%2.png").arg(shots, QLatin1String(c.name)));
    // Once it is said, the list shows what runs now.
    click(alertButton("OK"));
    QStringList now;
    for (const ProcSnap &p : c.refreshed)
        now << p.name;
    EXPECT_EQ(texts(cpuCard(), "processName"), now);
    expectNoWarnings();
}
INSTANTIATE_TEST_SUITE_P(
    Activity, ActivityEndedPress,
    ::testing::Values(
        EndedPress{"ItsRowTakenByAnother", [](auto &t) { t.generation.erase(4242); },
                   {proc(4545, QStringLiteral("gamma"), 70), proc(4343, QStringLiteral("beta"), 40)}},
        EndedPress{"ItsPidTakenByANewerProcess", [](auto &t) { t.generation[4242] = 2; },
                   {proc(4242, QStringLiteral("delta"), 70, 100'000'000, 2), proc(4343, QStringLiteral("beta"), 40)}},
        EndedPress{"StillListed", [](auto &t) { t.generation.erase(4242); },
                   {proc(4242, QStringLiteral("alpha"), 60), proc(4343, QStringLiteral("beta"), 40)}}),
    [](const auto &info) { return std::string(info.param.name); });

struct SignalChoice {
    const char *name;
    const char *button;
    int signal;
};
TABS_PRINT_BY_NAME(SignalChoice)
class ActivitySignals : public ActivityFixture, public ::testing::WithParamInterface<SignalChoice> {};
TEST_P(ActivitySignals, ButtonChoosesTheSignalAfterTheHaptic)
{
    loadWithFake();
    table->generation[4242] = 1;
    publish({proc(4242, QStringLiteral("worker"), 50)});
    pressTerminate(0);
    Haptics::shared()->clear();
    click(alertButton(GetParam().button));
    ASSERT_EQ(table->delivered.size(), 1u);
    EXPECT_EQ(table->delivered[0].signal, GetParam().signal);
    EXPECT_TRUE(Haptics::shared()->performed().contains(Haptics::LevelChange));
}
INSTANTIATE_TEST_SUITE_P(Activity, ActivitySignals,
                         ::testing::Values(SignalChoice{"Graceful", "Închide elegant (SIGTERM)", SIGTERM},
                                           SignalChoice{"Forced", "Forțează (SIGKILL)", SIGKILL}),
                         [](const auto &info) { return std::string(info.param.name); });

struct RefusalCase {
    const char *name;
    int pid;
    std::function<void(FakeProcessSignals::Table &)> before;  // while the row is on screen
    std::function<void(FakeProcessSignals::Table &)> between; // after the confirmation opens
    QString expected;
    bool confirms = true; // the confirmation opens
    int sent = 0;         // signals delivered
};
TABS_PRINT_BY_NAME(RefusalCase)
class ActivityRefusals : public ActivityFixture, public ::testing::WithParamInterface<RefusalCase> {};
TEST_P(ActivityRefusals, ShowTheErrorAlert)
{
    const auto &c = GetParam();
    loadWithFake();
    table->generation[c.pid] = 1;
    publish({proc(c.pid, QStringLiteral("worker"), 50)});
    c.before(*table);
    pressTerminate(0);
    EXPECT_EQ(alertShown("confirmAlert"), c.confirms);
    if (c.confirms) {
        c.between(*table);
        click(alertButton("Închide elegant (SIGTERM)"));
    }
    EXPECT_EQ(int(table->delivered.size()), c.sent);
    // A process that outlives its signal is reported once the grace time is over.
    QTRY_VERIFY_WITH_TIMEOUT(alertShown("errorAlert"), 10000);
    EXPECT_EQ(texts(alertContent("errorAlert"), "alertTitle"), QStringList{QStringLiteral("Eroare")});
    EXPECT_EQ(screenProperty("killError"), c.expected);
    settle();
    click(alertButton("OK"));
    EXPECT_TRUE(screenProperty("killError").isEmpty());
    EXPECT_FALSE(alertShown("errorAlert"));
    EXPECT_EQ(fakeTerminator->heldPid(), 0);
}
const auto nothing = [](FakeProcessSignals::Table &) {};
INSTANTIATE_TEST_SUITE_P(
    Activity, ActivityRefusals,
    ::testing::Values(
        RefusalCase{"OtherUsersProcess", 4242, nothing, [](auto &t) { t.refuse[4242] = EPERM; },
                    QStringLiteral("Nu am putut închide procesul worker (pid 4242). Cod 1 – %1.")
                        .arg(QString::fromLocal8Bit(strerror(EPERM)))},
        RefusalCase{"EndedWhileAsking", 4242, nothing, [](auto &t) { t.generation.erase(4242); },
                    ProcessTerminator::endedText("worker", 4242)},
        RefusalCase{"PidReusedWhileAsking", 4242, nothing, [](auto &t) { t.generation[4242] = 2; },
                    ProcessTerminator::replacedText("worker", 4242)},
        // The row stayed on screen after its process ended and a newer one took the pid.
        RefusalCase{"PidReusedBeforeAsking", 4242, [](auto &t) { t.generation[4242] = 2; }, nothing,
                    ProcessTerminator::replacedText("worker", 4242), false},
        RefusalCase{"SigtermIgnored", 4242, [](auto &t) { t.ignored[4242] = {SIGTERM}; }, nothing,
                    ProcessTerminator::ignoredText("worker", 4242), true, 1},
        RefusalCase{"StillRunningAfterTheSignal", 4242, [](auto &t) { t.lingers.insert(4242); }, nothing,
                    ProcessTerminator::stillRunningText("worker", 4242, false), true, 1},
        RefusalCase{"SystemProcess", 1, nothing, nothing, ProcessTerminator::systemProcessText("worker", 1)},
        RefusalCase{"Corvane", 777, nothing, nothing, ProcessTerminator::ownProcessText("worker", 777)}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ActivityTexts, RefusalsAreClear)
{
    EXPECT_EQ(ProcessTerminator::systemProcessText("systemd", 1),
              QStringLiteral("Nu închid procesul systemd (pid 1): este procesul de pornire al sistemului."));
    EXPECT_TRUE(ProcessTerminator::refusalText("w", 9, EPERM).contains(QStringLiteral(" \u2013 ")));
    EXPECT_EQ(ProcessTerminator::replacedText("victimB", 2),
              QStringLiteral("Procesul victimB (pid 2) s-a încheiat, iar pid-ul lui aparține acum altui proces. "
                             "Nu am trimis niciun semnal."));
    EXPECT_EQ(ProcessTerminator::stillRunningText("w", 9, true), QStringLiteral("Procesul w (pid 9) rulează în continuare după SIGKILL."));
}

TEST_F(ActivityFixture, PrivacyListReadsTheNotifiersFile)
{
    QTemporaryDir dir;
    FakeClock clock;
    FakeNotifications notes;
    FakeFrontmost frontmost;
    {
        PrivacyNotifier writer(dir.path(), &notes, frontmost, clock);
        for (int i = 0; i < 60; ++i) {
            clock.advance(60);
            writer.record(i % 2 ? PrivacyEvent::Kind::microphone : PrivacyEvent::Kind::camera, i % 3 == 0,
                          i == 59 ? std::optional<QString>(QStringLiteral("<i>Cam</i>\u202Egpj.exe")) : std::nullopt);
        }
    }
    PrivacyNotifier reader(dir.path(), &notes, frontmost, clock);
    ASSERT_TRUE(test::waitLoaded(reader));
    ASSERT_EQ(reader.history().size(), 50);
    loadWithFake();
    view->setProperty("notifier", QVariant::fromValue<QObject *>(&reader));
    settle();
    EXPECT_FALSE(named("privacyEmpty")->isVisible());
    const QStringList titles = texts(named("privacyCard"), "eventTitle");
    ASSERT_EQ(titles.size(), 25);
    EXPECT_EQ(titles.first(), QStringLiteral("Microfon")); // the newest: event 59
    // Shown as plain text, with the right-to-left override neutralised.
    EXPECT_EQ(texts(named("privacyCard"), "deviceName").first(), QStringLiteral("<i>Cam</i>\uFFFDgpj.exe"));
    EXPECT_EQ(texts(named("privacyCard"), "status").first(), QStringLiteral("DEZACTIVAT"));
    EXPECT_EQ(texts(named("privacyCard"), "deviceName").size(), 1); // no name, no line

    publish({proc(4242, QStringLiteral("worker"), 50), proc(4243, QStringLiteral("firefox-esr"), 12)});
    for (const QSize size : {QSize(1280, 800), QSize(1600, 1000)}) {
        window.resize(size);
        qobject_cast<QQuickItem *>(view.get())->setSize(QSizeF(size));
        settle();
        // Badge and title at the leading edge, status and time at the trailing one, the same
        // on every row.
        const QList<QQuickItem *> rows = itemsNamed(named("privacyCard"), "privacyRow");
        ASSERT_EQ(rows.size(), 25);
        auto inRow = [](QQuickItem *row, const char *name) {
            QQuickItem *it = itemsNamed(row, QLatin1String(name)).value(0);
            return it ? it->mapRectToItem(row, QRectF(0, 0, it->width(), it->height())) : QRectF();
        };
        for (QQuickItem *row : rows) {
            const QRectF badge = inRow(row, "eventBadge"), title = inRow(row, "eventTitle"),
                         status = inRow(row, "statusBadge"), time = inRow(row, "eventTime");
            EXPECT_NEAR(badge.left(), 10, 0.5);
            EXPECT_NEAR(title.left(), badge.right() + 10, 0.5);
            EXPECT_NEAR(time.right(), row->width() - 10, 0.5);
            EXPECT_NEAR(status.right(), time.left() - 10, 0.5);
            EXPECT_NEAR(status.center().y(), row->height() / 2, 1);
            EXPECT_NEAR(time.center().y(), row->height() / 2, 1);
            EXPECT_EQ(row->width(), rows.first()->width());
        }
        // Screens to look at: CORVANE_SHOTS=<folder> writes the tab, scrolled to the history.
        if (const QString shots = qEnvironmentVariable("CORVANE_SHOTS"); !shots.isEmpty()) {
            auto *scroller = named("scroller");
            window.grabWindow().save(shots + QStringLiteral("/activity-%1x%2.png").arg(size.width()).arg(size.height()));
            scroller->setProperty("contentY", named("privacyCard")->mapToItem(scroller->property("contentItem").value<QQuickItem *>(), QPointF()).y() - 24);
            settle();
            window.grabWindow().save(shots + QStringLiteral("/activity-privacy-%1x%2.png").arg(size.width()).arg(size.height()));
            scroller->setProperty("contentY", 0);
        }
    }

    QTemporaryDir empty;
    PrivacyNotifier none(empty.path(), &notes, frontmost, clock);
    view->setProperty("notifier", QVariant::fromValue<QObject *>(&none));
    settle();
    EXPECT_TRUE(named("privacyEmpty")->isVisible());
    expectNoWarnings();
}

TEST_F(ActivityFixture, BatteryCardReadsTheHistoryFile)
{
    QTemporaryDir dir;
    FakeClock clock;
    const QDateTime noon(QDate::currentDate().addDays(-3), QTime(12, 0));
    clock.setWall(double(noon.toSecsSinceEpoch()));
    {
        BatteryHistory writer(dir.path(), clock);
        BatteryFeed battery;
        writer.bind(&battery.mon);
        const double health[] = {90, 91, 95, 80};
        const int cycles[] = {7, 9, 8, 12};
        for (int i = 0; i < 4; ++i) {
            clock.advance(i == 3 ? 2 * 86'400 : 600);
            battery.refresh(80 - i, false, cycles[i], health[i]);
        }
    }
    BatteryHistory reader(dir.path(), clock);
    ASSERT_TRUE(test::waitLoaded(reader));
    ASSERT_FALSE(reader.snapshots().isEmpty());
    const int k = int(reader.snapshots(30).size());
    loadWithFake();
    view->setProperty("batteryHistory", QVariant::fromValue<QObject *>(&reader));
    settle();
    QQuickItem *card = named("batteryCard");
    EXPECT_EQ(texts(card, "snapshotCount"), QStringList{QStringLiteral("%1 snap-uri").arg(k)});
    EXPECT_FALSE(named("emptyState")->isVisible());
    const QStringList values = texts(card, "value");
    ASSERT_EQ(values.size(), 3);
    EXPECT_EQ(values[2], QStringLiteral("12"));

    // A gauge that gives only its percentage (no capacities, cycle count or temperature):
    // the snapshots hold no health or cycles, and the card says so rather than 100 % and 0.
    QTemporaryDir partial;
    {
        BatteryMonitor machine(makeLinuxPowerSources(CORVANE_FIXTURES "/power_supply/capacity-only"), clock, false);
        machine.publish(machine.sampler().sample());
        BatteryHistory writer(partial.path(), clock);
        ASSERT_TRUE(test::waitLoaded(writer));
        writer.bind(&machine);
    }
    BatteryHistory capacityOnly(partial.path(), clock);
    ASSERT_TRUE(test::waitLoaded(capacityOnly));
    ASSERT_EQ(capacityOnly.snapshots().size(), 1);
    view->setProperty("batteryHistory", QVariant::fromValue<QObject *>(&capacityOnly));
    settle();
    EXPECT_EQ(texts(card, "value"), (QStringList{"—", "—", "—"}));
    EXPECT_EQ(texts(card, "snapshotCount"), QStringList{QStringLiteral("1 snap-uri")});

    // A history with nothing in range: the empty state and no figures.
    QTemporaryDir none;
    BatteryHistory empty(none.path(), clock);
    view->setProperty("batteryHistory", QVariant::fromValue<QObject *>(&empty));
    settle();
    EXPECT_TRUE(named("emptyState")->isVisible());
    EXPECT_EQ(texts(card, "value"), (QStringList{"—", "—", "—"}));
    EXPECT_EQ(texts(card, "snapshotCount"), QStringList{QStringLiteral("0 snap-uri")});
    expectNoWarnings();
}

// ---- Ports ------------------------------------------------------------------------------

struct PortsFixture : TabFixture {
    std::shared_ptr<FakeDisplaySource::Shared> displaySource = std::make_shared<FakeDisplaySource::Shared>();
    std::unique_ptr<USBMonitor> usb;
    std::unique_ptr<DisplayMonitor> displays;

    void SetUp() override
    {
        TabFixture::SetUp();
        usb = std::make_unique<USBMonitor>(makeLinuxUsbRegistry(QStringLiteral(CORVANE_FIXTURES "/usb/laptop")),
                                           Clock::system(), false);
        if (auto s = usb->sampler().sample())
            usb->publish(*s);
        displaySource->snapshot.connectors = readDrmConnectors(QStringLiteral(CORVANE_FIXTURES "/drm/laptop"));
        auto screens = [] {
            ScreenFacts edp{QStringLiteral("eDP-1"), QRect(0, 0, 1440, 900), 2.0, 60.0, 0, 0, 24, true};
            ScreenFacts hdmi{QStringLiteral("HDMI-A-1"), QRect(1440, 0, 2560, 1440), 1.0, 59.94, 0, 0, 24, false};
            return std::vector<ScreenFacts>{edp, hdmi};
        };
        displays = std::make_unique<DisplayMonitor>(std::make_unique<FakeDisplaySource>(displaySource), screens,
                                                    Clock::system(), false);
        displays->publish(displaySource->snapshot);
    }
    QQuickItem *loadPorts()
    {
        const QVariantMap hubLike{{"usb", QVariant::fromValue<QObject *>(usb.get())},
                                  {"displays", QVariant::fromValue<QObject *>(displays.get())}};
        return load("PortsView", {{"appState", hubLike}});
    }
};

TEST_F(PortsFixture, LaptopWithWebcamHubAndStick)
{
    loadPorts();
    const int n = int(usb->devices().size());
    ASSERT_GE(n, 3);
    EXPECT_EQ(texts(root(), "deviceCount"), QStringList{QString::number(n)});
    EXPECT_EQ(texts(root(), "bestSpeed"), QStringList{QStringLiteral("USB 3.0 (5 Gb/s)")});
    EXPECT_EQ(itemsNamed(named("deviceCard"), "name").size(), n);
    QStringList powers = texts(named("deviceCard"), "power");
    EXPECT_TRUE(powers.contains(QStringLiteral("500 mA · 2.50 W"))) << powers.join(", ").toStdString();
    EXPECT_EQ(texts(root(), "milliAmps"),
              QStringList{QStringLiteral("%1 mA cerere totală").arg(usb->totalDrawnMilliAmps())});
    EXPECT_FALSE(named("noDevices")->isVisible());
    expectNoWarnings();
}

TEST_F(PortsFixture, DisplayRowsExpandOneAtATimeAndAskForTheTest)
{
    loadPorts();
    ASSERT_EQ(displays->displays().size(), 2);
    EXPECT_EQ(itemsNamed(named("videoCard"), "displayName").size(), 2);
    EXPECT_EQ(texts(named("videoCard"), "placement"), (QStringList{"INTERNAL", "EXTERN"}));
    EXPECT_TRUE(texts(named("videoCard"), "summary").value(1).contains(QStringLiteral("@ 60Hz")));

    click(named("detailsButton", 0));
    EXPECT_EQ(named("detailsButton", 0)->property("text").toString(), QStringLiteral("Mai puține detalii"));
    EXPECT_EQ(named("detailsButton", 1)->property("text").toString(), QStringLiteral("Detalii complete"));
    const int cells = int(itemsNamed(named("videoCard"), "cellValue").size());
    EXPECT_GE(cells, 13);
    EXPECT_LE(cells, 14);

    // A refresh of the monitor keeps the row's state.
    displays->publish(displaySource->snapshot);
    settle();
    EXPECT_EQ(named("detailsButton", 0)->property("text").toString(), QStringLiteral("Mai puține detalii"));

    click(named("testButton", 1));
    const QVariant chosen = view->property("pixelTestDisplay");
    ASSERT_TRUE(chosen.isValid());
    EXPECT_EQ(chosen.value<DisplayInfo>().id, displays->displays().at(1).id);
    // The pixel test opens over the tab; ending it gives the tab back.
    view->setProperty("pixelTestDisplay", QVariant::fromValue<QObject *>(nullptr));
    settle();

    click(named("detailsButton", 0));
    EXPECT_EQ(named("detailsButton", 0)->property("text").toString(), QStringLiteral("Detalii complete"));
    expectNoWarnings();
}

TEST_F(PortsFixture, NothingAttached)
{
    usb->publish({{}, 0});
    displaySource->snapshot = {};
    displays = std::make_unique<DisplayMonitor>(std::make_unique<FakeDisplaySource>(displaySource),
                                                [] { return std::vector<ScreenFacts>{}; }, Clock::system(), false);
    displays->publish({});
    loadPorts();
    EXPECT_TRUE(named("noDevices")->isVisible());
    EXPECT_TRUE(named("noDisplays")->isVisible());
    EXPECT_EQ(texts(root(), "bestSpeed"), QStringList{QStringLiteral("—")}); // no device, no speed
    EXPECT_EQ(texts(root(), "deviceCount"), QStringList{QStringLiteral("0")});
    expectNoWarnings();
}

// ---- Crash logs ---------------------------------------------------------------------------

TEST_F(TabFixture, CrashTabListsSelectsAndReturnsToThePlaceholderWhenTheReportGoes)
{
    QTemporaryDir dir;
    auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write("Safari-2026.ips", "Process: Safari\nException Type: EXC\nBody line\n");
    write("broken.crash", "\xff\xfe");
    auto *reader = new CrashLogReader({{dir.path(), false}}, &window);
    QSignalSpy scanned(reader, &CrashLogReader::entriesChanged);
    ASSERT_TRUE(scanned.wait(5000));
    load("CrashLogView", {{"reader", QVariant::fromValue<QObject *>(reader)}});
    EXPECT_EQ(texts(root(), "header"), QStringList{QStringLiteral("Istoric crash / freeze (2)")});
    EXPECT_TRUE(named("placeholder")->isVisible());

    click(named("processName", texts(root(), "processName").indexOf(QStringLiteral("Safari"))));
    QQuickItem *loader = named("detailLoader");
    ASSERT_TRUE(loader->property("item").value<QObject *>());
    QObject *detail = loader->property("item").value<QObject *>();
    QTRY_COMPARE(detail->property("content").toString(), QStringLiteral("Process: Safari\nException Type: EXC\nBody line\n"));
    EXPECT_EQ(texts(root(), "fileName"), QStringList{QStringLiteral("Safari-2026.ips")});

    click(named("processName", texts(root(), "processName").indexOf(QStringLiteral("broken.crash"))));
    QTRY_COMPARE(detail->property("content").toString(), QStringLiteral("Nu pot citi fișierul."));

    // A rescan keeps the selection; once the report is gone, the placeholder returns.
    click(named("refreshButton"));
    QTRY_COMPARE_WITH_TIMEOUT(scanned.count(), 2, 10000); // the click may already have seen it through
    EXPECT_FALSE(named("placeholder")->isVisible());
    ASSERT_TRUE(QFile::remove(dir.filePath("broken.crash")));
    click(named("refreshButton"));
    QTRY_VERIFY(named("placeholder")->isVisible());
    EXPECT_EQ(texts(root(), "header"), QStringList{QStringLiteral("Istoric crash / freeze (1)")});
    expectNoWarnings();
}

TEST_F(TabFixture, CrashTabSaysWhichSourceItCouldNotReadAndOpensOnlyWhatItRead)
{
    QTemporaryDir dir;
    QFile f(dir.filePath("Safari-2026.ips"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Process: Safari\n");
    f.close();
    ASSERT_EQ(::symlink("/etc/shadow", QFile::encodeName(dir.filePath("planted.crash")).constData()), 0);
    auto journal = std::make_shared<test::FakeCoredumpJournal>();
    journal->error = EACCES;
    auto *reader = new CrashLogReader({{dir.path(), false, {}}, {dir.filePath("Safari-2026.ips"), true, {}},
                                       {QString(), false, journal}},
                                      &window);
    QSignalSpy scanned(reader, &CrashLogReader::entriesChanged);
    ASSERT_TRUE(scanned.wait(5000));
    load("CrashLogView", {{"reader", QVariant::fromValue<QObject *>(reader)}});
    EXPECT_EQ(texts(root(), "header"), QStringList{QStringLiteral("Istoric crash / freeze (2)")});
    EXPECT_EQ(texts(root(), "sourceError"),
              QStringList{QStringLiteral("Nu pot citi ") + dir.filePath("Safari-2026.ips")
                          + QStringLiteral(": nu este un folder.\nNu pot citi jurnalul systemd: acces refuzat.")});

    // The report it read can be opened; the planted link shows no button.
    click(named("processName", texts(root(), "processName").indexOf(QStringLiteral("Safari"))));
    EXPECT_EQ(texts(root(), "openButton"), QStringList{QStringLiteral("Deschide fișierul")});

    // A desktop without a program for it: said with the path, in the screen's own form.
    auto desktop = std::make_unique<test::FakeDesktopOpener>();
    test::FakeDesktopOpener *opener = desktop.get();
    reader->setOpener(std::move(desktop));
    opener->opens = false;
    EXPECT_TRUE(texts(root(), "openError").isEmpty());
    const QString report = dir.filePath("Safari-2026.ips");
    click(named("openButton"));
    EXPECT_EQ(opener->asked, QList<QUrl>{QUrl::fromLocalFile(report)});
    ASSERT_EQ(texts(root(), "openError").size(), 1);
    EXPECT_TRUE(texts(root(), "openError")[0].startsWith(QStringLiteral("Nu pot deschide ") + report + ": "))
        << texts(root(), "openError")[0].toStdString();
    click(named("folderButton"));
    EXPECT_EQ(opener->asked.value(1), QUrl::fromLocalFile(dir.path()));
    ASSERT_EQ(texts(root(), "openError").size(), 1);
    EXPECT_TRUE(texts(root(), "openError")[0].startsWith(QStringLiteral("Nu pot deschide ") + dir.path() + ": "));
    if (const QString shots = qEnvironmentVariable("CORVANE_SHOTS"); !shots.isEmpty())
        window.grabWindow().save(shots + QStringLiteral("/crashes-no-viewer.png"));
    // The report went after the scan: no viewer is asked, and the user is told.
    ASSERT_TRUE(QFile::rename(report, report + ".old"));
    opener->opens = true;
    click(named("openButton"));
    EXPECT_EQ(opener->asked.size(), 2);
    ASSERT_EQ(texts(root(), "openError").size(), 1);
    EXPECT_TRUE(texts(root(), "openError")[0].startsWith(QStringLiteral("Nu pot deschide ") + report + ": "));
    click(named("folderButton"));
    EXPECT_TRUE(texts(root(), "openError").isEmpty());
    click(named("processName", texts(root(), "processName").indexOf(QStringLiteral("planted.crash"))));
    QObject *detail = named("detailLoader")->property("item").value<QObject *>();
    ASSERT_TRUE(detail);
    QTRY_COMPARE(detail->property("content").toString(), QStringLiteral("Nu pot citi fișierul."));
    EXPECT_TRUE(texts(root(), "openButton").isEmpty());
    expectNoWarnings();
}

// A crash folder with `n` reports, the newest first in name order.
void writeReports(const QString &folder, int n, qint64 newest = 1'700'000'000)
{
    for (int i = 0; i < n; ++i) {
        const QString path = folder + QStringLiteral("/app%1-2026.crash").arg(i, 5, 10, QLatin1Char('0'));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("ProblemType: Crash\nExecutablePath: /usr/bin/app" + QByteArray::number(i) + "\nSignal: 11\n");
        f.close();
        const timespec t[2] = {{newest - i, 0}, {newest - i, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), t, 0), 0);
    }
}

struct CrashTabFixture : TabFixture {
    QTemporaryDir dir;
    CrashLogReader *reader = nullptr;
    QQuickItem *list = nullptr;

    void open(int reports)
    {
        writeReports(dir.path(), reports);
        reader = new CrashLogReader({{dir.path(), false}}, &window);
        QSignalSpy scanned(reader, &CrashLogReader::entriesChanged);
        ASSERT_TRUE(scanned.wait(10000));
        load("CrashLogView", {{"reader", QVariant::fromValue<QObject *>(reader)}});
        list = named("reportList");
        ASSERT_TRUE(list);
    }
    void wheel(QQuickItem *it, int notches)
    {
        const QPointF p = it->mapToScene(QPointF(it->width() / 2, it->height() / 2));
        for (int i = 0; i < notches; ++i) {
            QWheelEvent ev(p, window.mapToGlobal(p), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                           Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(&window, &ev);
        }
        QTRY_VERIFY(!it->property("moving").toBool());
        settle();
    }
    // The key of the row at the top of the list's view.
    QString topKey()
    {
        int row = -1;
        QMetaObject::invokeMethod(list, "indexAt", Q_RETURN_ARG(int, row), Q_ARG(qreal, 20),
                                  Q_ARG(qreal, list->property("contentY").toReal() + 4));
        return reader->model()->data(reader->model()->index(row), KeyedListModel::KeyRole).toString();
    }
    // A row's process name that is inside the list's view, `skip` rows down from the top.
    QQuickItem *visibleRow(int skip)
    {
        QList<QQuickItem *> rows;
        const QRectF view = list->mapRectToScene(QRectF(0, 0, list->width(), list->height()));
        for (QQuickItem *name : itemsNamed(list, QStringLiteral("processName")))
            if (view.contains(name->mapToScene(QPointF(name->width() / 2, name->height() / 2))))
                rows << name;
        std::sort(rows.begin(), rows.end(), [](QQuickItem *a, QQuickItem *b) {
            return a->mapToScene(QPointF()).y() < b->mapToScene(QPointF()).y();
        });
        return rows.value(skip);
    }
};

TEST_F(CrashTabFixture, RescanKeepsTheReportBeingReadAndThePlaceInTheList)
{
    open(300);
    EXPECT_EQ(texts(root(), "header"), QStringList{QStringLiteral("Istoric crash / freeze (300)")});
    wheel(list, 12);
    ASSERT_GT(list->property("contentY").toReal(), 0);
    QQuickItem *pick = visibleRow(3);
    ASSERT_TRUE(pick);
    const QString picked = pick->property("text").toString();
    click(pick);
    QObject *detail = named("detailLoader")->property("item").value<QObject *>();
    ASSERT_TRUE(detail);
    QTRY_VERIFY(detail->property("content").toString().contains(QStringLiteral("ExecutablePath: /usr/bin/") + picked));
    const QString selection = view->property("selection").toString();
    ASSERT_FALSE(selection.isEmpty());
    const QString top = topKey();

    // A new report arrives (the newest, above the view) and the oldest goes away.
    QSignalSpy inserted(reader->model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(reader->model(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(reader->model(), &QAbstractItemModel::modelReset);
    QSignalSpy changed(reader->model(), &QAbstractItemModel::dataChanged);
    {
        QFile f(dir.filePath("fresh-2026.crash"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("ExecutablePath: /usr/bin/fresh\n");
    }
    ASSERT_TRUE(QFile::remove(dir.filePath("app00299-2026.crash")));
    QSignalSpy scanned(reader, &CrashLogReader::entriesChanged);
    click(named("refreshButton"));
    QTRY_COMPARE_WITH_TIMEOUT(scanned.count(), 1, 10000); // the click may already have seen it through
    settle();

    EXPECT_EQ(reader->lastScanReads(), 1); // only the new report was read
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(texts(root(), "header"), QStringList{QStringLiteral("Istoric crash / freeze (300)")});
    // Still reading the same report, with its row highlighted, and the list where it was.
    EXPECT_FALSE(named("placeholder")->isVisible());
    EXPECT_EQ(named("detailLoader")->property("item").value<QObject *>(), detail);
    EXPECT_TRUE(detail->property("content").toString().contains(QStringLiteral("ExecutablePath: /usr/bin/") + picked));
    EXPECT_EQ(view->property("selection").toString(), selection);
    int highlighted = 0;
    for (QQuickItem *row : itemsNamed(list, QStringLiteral("crashRow")))
        if (row->property("selected").toBool()) {
            ++highlighted;
            EXPECT_EQ(row->property("entry").value<CrashLogEntry>().key, selection);
        }
    EXPECT_EQ(highlighted, 1);
    EXPECT_EQ(topKey(), top);
    expectNoWarnings();
}

TEST_F(CrashTabFixture, OneEnormousLineIsLaidOutInPieces)
{
    open(1);
    QFile f(dir.filePath("long-2026.crash"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Process: long\n" + QByteArray(4 * 1024 * 1024 - 64, 'x') + "\nend\n");
    f.close();
    QSignalSpy scanned(reader, &CrashLogReader::entriesChanged);
    click(named("refreshButton"));
    QTRY_COMPARE_WITH_TIMEOUT(scanned.count(), 1, 10000);
    settle();
    click(named("processName", texts(root(), "processName").indexOf(QStringLiteral("long"))));
    QObject *detail = named("detailLoader")->property("item").value<QObject *>();
    ASSERT_TRUE(detail);
    QTRY_VERIFY_WITH_TIMEOUT(detail->property("content").toString().startsWith(u"Process: long"), 10000);
    settle();
    // Only bounded pieces reach the text items in view.
    QQuickItem *text = named("reportText");
    ASSERT_TRUE(text);
    int shown = 0;
    for (QQuickItem *child : text->childItems().value(0)->childItems()) {
        const QString t = child->property("text").toString();
        EXPECT_LE(t.size(), CrashReportText::kPieceChars);
        shown += t.isEmpty() ? 0 : 1;
    }
    EXPECT_GT(shown, 2);
    expectNoWarnings();
}

// ---- Screens ---------------------------------------------------------------------------

// Each tab with machine-like data at the content area of a 1280×800 and a 1600×1000 window
// (the sidebar takes 211 points), saved under <build>/tabs-png for a look.
struct ShotCase {
    const char *name;
    int width, height;
};
TABS_PRINT_BY_NAME(ShotCase)
class TabScreens : public PortsFixture, public ::testing::WithParamInterface<ShotCase> {};
TEST_P(TabScreens, RenderWithinTheWindow)
{
    window.resize(GetParam().width - 211, GetParam().height);
    window.setColor(QColor::fromRgbF(0.05f, 0.06f, 0.11f)); // the main window's dark backdrop
    const QString dir = QStringLiteral(CORVANE_BINARY_DIR "/tabs-png");
    QDir().mkpath(dir);
    const QString size = QStringLiteral("_%1x%2.png").arg(GetParam().width).arg(GetParam().height);
    auto save = [&](const char *tab) {
        QTest::mouseMove(&window, QPoint(window.width() - 2, 2)); // no card under the pointer
        settle();
        QTest::qWait(400);
        const QImage img = window.grabWindow();
        ASSERT_FALSE(img.isNull());
        EXPECT_TRUE(img.save(dir + '/' + QLatin1String(tab) + size));
    };

    loadPorts();
    click(named("detailsButton", 1));
    save("ports");
    // The external display's pixel test, over the tab.
    click(named("testButton", 1));
    save("ports-pixeltest");
    view->setProperty("pixelTestDisplay", QVariant::fromValue<QObject *>(nullptr));
    settle();

    hub.system()->publish([] { SystemMonitor::Snapshot s; s.totalBytes = 16ull << 30; s.usedBytes = 8ull << 30; return s; }());
    QList<ProcSnap> procs;
    const char *names[] = {"firefox-esr", "Xorg", "gnome-shell", "code", "pipewire", "corvane", "tracker-miner-fs-3",
                           "a-very-long-process-name-that-does-not-fit-the-column", "kworker/u16:3", "sshd"};
    for (int i = 0; i < 10; ++i)
        procs << proc(1000 + i, QString::fromLatin1(names[i]), 240.0 / (i + 1), quint64(3'200'000'000ull / (i + 1)));
    hub.processes()->publish({procs, procs, 312});
    load("ProcessesView");
    save("activity");

    QTemporaryDir crashDir;
    for (const char *name : {"_usr_bin_gedit.1000.crash", "Safari-2026-01-02.ips", "kernel-2026.panic", "Mail.spin"}) {
        QFile f(crashDir.filePath(QLatin1String(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("ProblemType: Crash\nExecutablePath: /usr/bin/gedit\nProcess: Safari [1234]\nSignal: 11\n"
                "Exception Type:  EXC_BAD_ACCESS (SIGSEGV)\nThread 0 Crashed:\n0   libsystem_kernel.dylib  0x7ff80 __pthread_kill + 10\n");
    }
    // And one crash that systemd-coredump recorded in the journal.
    auto journal = std::make_shared<test::FakeCoredumpJournal>();
    CoredumpRecord dump;
    dump.cursor = "s=1;i=1";
    dump.executable = QStringLiteral("/usr/bin/nautilus");
    dump.pid = 2211;
    dump.signal = 11;
    dump.time = QDateTime::currentDateTime().addDays(-1);
    journal->records = {dump};
    journal->texts.insert(dump.cursor, "Process 2211 (nautilus) of user 1000 dumped core.\n\nStack trace of thread 2211:\n"
                                       "#0  0x00007f3c g_type_check_instance (libgobject-2.0.so.0 + 0x3a1c2)\n\n"
                                       "COREDUMP_EXE=/usr/bin/nautilus\nCOREDUMP_SIGNAL=11\n");
    auto *reader = new CrashLogReader({{crashDir.path(), false, {}}, {QString(), false, journal}}, &window);
    QSignalSpy scanned(reader, &CrashLogReader::entriesChanged);
    ASSERT_TRUE(scanned.wait(5000));
    load("CrashLogView", {{"reader", QVariant::fromValue<QObject *>(reader)}});
    click(named("processName", texts(root(), "processName").indexOf(QStringLiteral("nautilus"))));
    QTest::qWait(300);
    save("crashes");

    // The same, with the report folder and the journal unreadable.
    auto broken = std::make_shared<test::FakeCoredumpJournal>();
    broken->error = EACCES;
    auto *partial = new CrashLogReader({{crashDir.filePath("Mail.spin"), false, {}}, {crashDir.path(), true, {}},
                                        {QString(), false, broken}},
                                       &window);
    QSignalSpy partialScan(partial, &CrashLogReader::entriesChanged);
    ASSERT_TRUE(partialScan.wait(5000));
    load("CrashLogView", {{"reader", QVariant::fromValue<QObject *>(partial)}});
    save("crashes-unreadable");
    expectNoWarnings();
}
INSTANTIATE_TEST_SUITE_P(Tabs, TabScreens,
                         ::testing::Values(ShotCase{"Small", 1280, 800}, ShotCase{"Large", 1600, 1000}),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- Indicator light ----------------------------------------------------------------------

struct LightCase {
    const char *name;
    bool on, rec;
    const char *status;
    bool badge;
};
TABS_PRINT_BY_NAME(LightCase)
class IndicatorLightLook : public TabFixture, public ::testing::WithParamInterface<LightCase> {};
TEST_P(IndicatorLightLook, StatusWordAndBadge)
{
    load("IndicatorLight", {{"label", "Cameră"}, {"isOn", GetParam().on}, {"showRec", GetParam().rec}, {"icon", "video.fill"}});
    EXPECT_EQ(texts(root(), "label"), QStringList{QStringLiteral("CAMERĂ")});
    EXPECT_EQ(texts(root(), "status"), QStringList{QString::fromLatin1(GetParam().status)});
    EXPECT_EQ(named("rec")->isVisible(), GetParam().badge);
    EXPECT_EQ(named("lampMotion")->property("active").toBool(), GetParam().on);
    expectNoWarnings();
}
INSTANTIATE_TEST_SUITE_P(Effects, IndicatorLightLook,
                         ::testing::Values(LightCase{"OnRecording", true, true, "ACTIV", true},
                                           LightCase{"OnQuiet", true, false, "ACTIV", false},
                                           LightCase{"OffWithRec", false, true, "INACTIV", false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
