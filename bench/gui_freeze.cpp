// The longest time the GUI thread goes without handling its events while the crash tab and
// the battery history meet large inputs, beside the same steps with small inputs in the same
// run (the reference). A 2 ms timer on the GUI thread measures the gaps; the GUI thread's own
// CPU time over the step, less what the thread spends idling with the timer for as long,
// tells the work done there from time lost to a busy machine (a step that costs the GUI
// thread less than 100 ms of CPU can't block it for longer by itself).
// Each step runs three times (by default); the medians are printed.
//
//   corvane_gui_freeze [reports [runs [cases]]]   (default 10000 reports, 3 runs, every case)
//
// `cases`: a comma-separated choice of crash, history, calendar, privacy, activity, settings.
//
// Steps: the crash tab showing `reports` reports (first scan, a rescan that finds one new
// report, selecting a report), a report of one 4 MiB line, and a 30 MB battery history
// loaded, captured into and charted by a card made beforehand. Each screen is shown once
// with small inputs first, so neither side pays for loading its QML.
// Then, each in a function of its own: a burst of camera/microphone events on a slow disk
// (every fdatasync of this process held 250 ms, beside the same burst on the disk as it is),
// the process lists asked for (the activity tab opening) while another sampler's tick holds
// the samplers' thread for 600 ms (beside idle samplers), and a 50 MB settings file read by
// the first store and saved once (beside a small one).
#include "common/StoredSettings.h"
#include "fakes/FakeNotifications.h"
#include "fakes/MonitorFeeds.h"
#include "gui_freeze_calendar.h"
#include "monitors/ProcessMonitor.h"
#include "monitors/SamplerScheduler.h"
#include "notify/BatteryHistory.h"
#include "notify/PrivacyNotifier.h"
#include "support/SlowDisk.h"
#include "platform/Clock.h"
#include "ui/tabs/CrashLogReader.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSemaphore>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUuid>
#include <QtQml/qqmlextensionplugin.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <ctime>
#include <functional>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

using namespace corvane;

namespace {

// The longest gap between two ticks of a 1 ms timer on this thread.
class StallMeter {
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(2);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_worst = std::max(m_worst, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    void reset()
    {
        m_last = m_clock.nsecsElapsed();
        m_worst = 0;
        m_cpuStart = threadCpuNs();
        m_wallStart = m_clock.nsecsElapsed();
    }
    double worstMs() const { return double(m_worst) / 1e6; }
    // The GUI thread's CPU time since reset(), less what idling takes for as long.
    double cpuMs() const
    {
        const double wallS = double(m_clock.nsecsElapsed() - m_wallStart) / 1e9;
        return std::max(0.0, double(threadCpuNs() - m_cpuStart) / 1e6 - m_idleMsPerS * wallS);
    }
    // Measures what the thread spends per second doing nothing but tick.
    void calibrate()
    {
        reset();
        QTest::qWait(3000);
        m_idleMsPerS = double(threadCpuNs() - m_cpuStart) / 1e6 / 3.0;
    }
    double idleMsPerS() const { return m_idleMsPerS; }

private:
    static qint64 threadCpuNs()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    }
    qint64 m_cpuStart = 0;
    qint64 m_wallStart = 0;
    double m_idleMsPerS = 0;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};

void setTime(const QString &path, qint64 secs)
{
    const timespec t[2] = {{secs, 0}, {secs, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), t, 0);
}

void writeReports(const QString &folder, int n)
{
    QDir().mkpath(folder);
    for (int i = 0; i < n; ++i) {
        const QString path = folder + QStringLiteral("/_usr_bin_app%1.1000.crash").arg(i);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("ProblemType: Crash\nArchitecture: amd64\nDate: Mon Jan  5 10:00:00 2026\nExecutablePath: /usr/bin/app"
                + QByteArray::number(i) + "\nSignal: 11\n" + QByteArray(1500, 'x') + "\n");
        f.close();
        setTime(path, 1'700'000'000 - i);
    }
}

// Waits, handling events, until `done` holds (or 120 s), then lets things settle.
bool waitFor(const std::function<bool()> &done, int settleMs = 500)
{
    const bool ok = QTest::qWaitFor(done, 120'000);
    QTest::qWait(settleMs);
    return ok;
}

struct Window {
    QQmlEngine engine;
    QQuickWindow window;
    std::unique_ptr<QObject> view;

    explicit Window(bool shown = true)
    {
        engine.addImportPath(QStringLiteral("qrc:/"));
        window.resize(1280 - 211, 800);
        if (shown)
            window.show();
    }
    QObject *load(const char *file, const QVariantMap &initial)
    {
        QQmlComponent c(&engine, QUrl(QStringLiteral("qrc:/Corvane/%1.qml").arg(QLatin1String(file))));
        view.reset(c.createWithInitialProperties(initial));
        if (auto *item = qobject_cast<QQuickItem *>(view.get())) {
            item->setParentItem(window.contentItem());
            item->setSize(window.size());
        } else {
            std::fprintf(stderr, "%s\n", qPrintable(c.errorString()));
        }
        return view.get();
    }
};

// The key an entry is selected by (older builds selected by id).
QString selectionKey(const CrashLogEntry &e)
{
    const QVariant v = QVariant::fromValue(e);
    const QMetaObject *mo = v.metaType().metaObject();
    const int key = mo->indexOfProperty("key");
    return mo->property(key >= 0 ? key : mo->indexOfProperty("id")).readOnGadget(v.constData()).toString();
}

struct Figure {
    double stallMs = 0, cpuMs = 0;
};
Figure figure(const StallMeter &m) { return {m.worstMs(), m.cpuMs()}; }

struct CrashSteps {
    Figure shown, rescan, select;
};

CrashSteps crashTab(StallMeter &meter, int reports)
{
    CrashSteps out;
    QTemporaryDir dir;
    writeReports(dir.path(), reports);
    Window w;
    meter.reset();
    auto *reader = new CrashLogReader({{dir.path(), false}}, &w.window);
    QObject *view = w.load("CrashLogView", {{"reader", QVariant::fromValue<QObject *>(reader)}});
    waitFor([&] { return reader->count() == reports; }, 2000);
    out.shown = figure(meter);

    QFile fresh(dir.filePath("_usr_bin_fresh.1000.crash"));
    fresh.open(QIODevice::WriteOnly);
    fresh.write("ProblemType: Crash\nExecutablePath: /usr/bin/fresh\n");
    fresh.close();
    meter.reset();
    reader->refresh();
    waitFor([&] { return reader->count() == reports + 1 && !reader->scanning(); }, 2000);
    out.rescan = figure(meter);

    meter.reset();
    view->setProperty("selection", selectionKey(reader->entries().value(std::min(5, reports))));
    waitFor([&] { return !view->property("selectedEntry").isNull(); }, 2000);
    out.select = figure(meter);
    return out;
}

Figure longLine(StallMeter &meter, qint64 lineBytes)
{
    QTemporaryDir dir;
    QFile f(dir.filePath("long-2026.crash"));
    f.open(QIODevice::WriteOnly);
    f.write("Process: long\n" + QByteArray(lineBytes, 'x') + "\n");
    f.close();
    Window w;
    auto *reader = new CrashLogReader({{dir.path(), false}}, &w.window);
    QObject *view = w.load("CrashLogView", {{"reader", QVariant::fromValue<QObject *>(reader)}});
    waitFor([&] { return reader->count() == 1; });
    meter.reset();
    view->setProperty("selection", selectionKey(reader->entries().first()));
    waitFor([&] { return !view->property("selectedEntry").isNull(); }, 3000);
    return figure(meter);
}

// A valid history of `bytes` or so, its snapshots spread over the last 30 days.
void writeHistory(const QString &path, qint64 bytes)
{
    QList<BatterySnapshot> list;
    const double now = double(QDateTime::currentSecsSinceEpoch()) - kReferenceEpochOffset;
    const qint64 n = bytes / 190;
    for (qint64 i = 0; i < n; ++i) {
        BatterySnapshot s;
        s.id = QUuid::createUuid();
        s.date = now - 30 * 86'400.0 + double(i) * (30 * 86'400.0 / double(n)) + 0.123456789;
        s.percent = 50 + double(i % 50) + 0.123456789;
        s.isCharging = i % 2;
        s.healthPercent = 90.123456789;
        s.cycleCount = 300 + i / 1000;
        s.temperature = 30.123456789;
        list.append(s);
    }
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(BatteryHistory::encode(list));
}

Figure batteryHistory(StallMeter &meter, qint64 bytes)
{
    QTemporaryDir dir, none;
    if (bytes > 0)
        writeHistory(dir.filePath("battery-history.json"), bytes);
    // Not shown: the card's frames would be drawn for as long as the file takes to read,
    // and that drawing is the same whatever the history holds.
    Window w(false);
    test::BatteryFeed battery;
    battery.refresh(64, false);
    // The card exists before the history arrives, as at start-up.
    BatteryHistory empty(none.path(), Clock::system());
    QObject *card = w.load("BatteryHistoryCard", {{"history", QVariant::fromValue<QObject *>(&empty)}});
    waitFor([&] { return empty.property("loaded").toBool(); });
    meter.reset();
    BatteryHistory history(dir.path(), Clock::system());
    history.bind(&battery.mon);
    card->setProperty("history", QVariant::fromValue<QObject *>(&history));
    waitFor([&] { return history.property("loaded").toBool(); }, 3000);
    return figure(meter);
}

Figure calendar(StallMeter &meter, const QString &folder)
{
    meter.reset();
    bench::readCalendars(folder);
    return figure(meter);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Ten camera and microphone switches 20 ms apart, each recorded and saved, with every
// fdatasync held `syncMs` (0: the disk as it is); until the last one is on disk.
Figure privacyBurst(StallMeter &meter, int syncMs)
{
    QTemporaryDir dir;
    test::FakeFrontmost frontmost;
    PrivacyNotifier n(dir.path(), nullptr, frontmost, Clock::system());
    waitFor([&] { return n.isLoaded(); }, 100);
    test::setSyncDelay(std::chrono::milliseconds(syncMs));
    meter.reset();
    for (int i = 0; i < 10; ++i) {
        n.record(i % 2 ? PrivacyEvent::Kind::microphone : PrivacyEvent::Kind::camera, i % 4 < 2, QStringLiteral("Cam"));
        QTest::qWait(20);
    }
    waitFor([&] { return PrivacyNotifier::decode(readAll(n.historyPath())).value_or(QList<PrivacyEvent>{}) == n.history(); });
    test::setSyncDelay(std::chrono::milliseconds(0));
    return figure(meter);
}

// The activity tab opens (the lists become watched, so a fresh pass is asked for) while
// another sampler's tick holds the samplers' thread for `tickMs` (0: no such tick); until the
// fresh lists have landed.
Figure activityTabDuringSlowTick(StallMeter &meter, int tickMs)
{
    ProcessMonitor mon(makeLinuxProcessTable(), Clock::system(), false);
    mon.publish(mon.sampler().sample()); // the last background pass, stale by now
    QTest::qWait(1100);
    int landed = 0;
    QObject::connect(&mon, &ProcessMonitor::updated, [&] { ++landed; });
    mon.start(); // its own next pass is seconds away
    QSemaphore inTick;
    SamplerScheduler slow(
        QStringLiteral("bench.slow"), Cadence::offsetThenEvery(0, 3600),
        [&] {
            inTick.release();
            std::this_thread::sleep_for(std::chrono::milliseconds(tickMs));
        },
        SamplerScheduler::Placement::SharedThread);
    if (tickMs > 0) {
        slow.start();
        inTick.acquire();
    }
    meter.reset();
    mon.setWatched(true);
    waitFor([&] { return landed > 0; }, tickMs + 200);
    const Figure out = figure(meter);
    slow.stop();
    mon.stop();
    return out;
}

// A settings file of `bytes` or so: the app's own keys, then filler lines.
void writeSettings(const QString &file, qint64 bytes)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    f.open(QIODevice::WriteOnly);
    f.write("[General]\nbar.height=140\nwidget.theme=aurora\nthr.cpuPct=90\nprivacy.notifyCamera=true\n");
    const QByteArray value(48, 'v');
    QByteArray chunk;
    qint64 written = 0;
    for (qint64 i = 0; written < bytes; ++i) {
        chunk += "filler.key" + QByteArray::number(i) + '=' + value + '\n';
        if (chunk.size() >= 1024 * 1024 || written + chunk.size() >= bytes) {
            f.write(chunk);
            written += chunk.size();
            chunk.clear();
        }
    }
}

struct SettingsSteps {
    Figure firstRead, save;
};

// The first store reads a settings file of `bytes` (as the first window waits for it), then
// one setting changes and is saved.
SettingsSteps bigSettings(StallMeter &meter, qint64 bytes)
{
    SettingsSteps out;
    QTemporaryDir home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    const QString file = home.path() + QStringLiteral("/Corvane/Corvane.conf");
    writeSettings(file, bytes);
    meter.reset();
    auto store = std::make_unique<StoredSettings>();
    const bool ok = store->readDouble(QStringLiteral("bar.height"), 0) == 140;
    QTest::qWait(300);
    out.firstRead = figure(meter);

    const qint64 sizeBefore = QFileInfo(file).size();
    meter.reset();
    store->write(QStringLiteral("widget.theme"), QStringLiteral("forest"));
    waitFor([&] { return QFileInfo(file).size() != sizeBefore; });
    const bool saved = store->value(QStringLiteral("widget.theme")).toString() == QStringLiteral("forest");
    QTest::qWait(300);
    out.save = figure(meter);
    if (!ok || !saved)
        std::fprintf(stderr, "settings of %lld bytes: %s\n", (long long)bytes, ok ? "not saved" : "not read");
    store.reset();
    return out;
}

Figure median(QList<Figure> runs)
{
    Figure out;
    QList<double> stalls, cpus;
    for (const Figure &f : runs) {
        stalls << f.stallMs;
        cpus << f.cpuMs;
    }
    std::sort(stalls.begin(), stalls.end());
    std::sort(cpus.begin(), cpus.end());
    return {stalls[stalls.size() / 2], cpus[cpus.size() / 2]};
}

void row(const QByteArray &step, const Figure &app, const Figure &reference)
{
    std::printf("%-52s %8.1f %8.1f %6.1fx   %8.1f %8.1f %6.1fx\n", step.constData(), app.stallMs, reference.stallMs,
                reference.stallMs > 0 ? app.stallMs / reference.stallMs : 0.0, app.cpuMs, reference.cpuMs,
                reference.cpuMs > 0 ? app.cpuMs / reference.cpuMs : 0.0);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    const int reports = argc > 1 ? std::atoi(argv[1]) : 10'000;
    StallMeter meter;

    // Warm-up: the first use of each screen pays for loading its QML, whatever its input.
    crashTab(meter, 10);
    longLine(meter, 4096);
    batteryHistory(meter, 0);
    meter.calibrate();

    std::printf("idle GUI thread with the 2 ms timer: %.1f ms of CPU a second (subtracted below)\n", meter.idleMsPerS());
    std::printf("%-52s %26s   %26s\n", "", "longest stall (ms)", "GUI-thread CPU (ms)");
    std::printf("%-52s %8s %8s %7s   %8s %8s %7s\n", "step", "large", "ref", "ratio", "large", "ref", "ratio");
    const int kRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const QStringList cases = argc > 3 ? QString::fromLocal8Bit(argv[3]).split(QLatin1Char(',')) : QStringList();
    const auto wanted = [&cases](const char *name) { return cases.isEmpty() || cases.contains(QLatin1String(name)); };
    QTemporaryDir calendars;
    if (wanted("calendar")) {
        bench::writeBigCalendar(calendars.filePath("big"), 135'802);
        bench::writeBigCalendar(calendars.filePath("small"), 100);
    }
    QList<Figure> bigCalendarRuns, smallCalendarRuns;
    QList<CrashSteps> big, small;
    QList<Figure> longRuns, shortRuns, historyRuns, noHistoryRuns;
    for (int i = 0; i < kRuns; ++i) {
        if (wanted("crash")) {
            big << crashTab(meter, reports);
            small << crashTab(meter, 10);
            longRuns << longLine(meter, 4 * 1024 * 1024 - 64);
            shortRuns << longLine(meter, 4096);
        }
        if (wanted("history")) {
            historyRuns << batteryHistory(meter, 30'000'000);
            noHistoryRuns << batteryHistory(meter, 0);
        }
        if (wanted("calendar")) {
            bigCalendarRuns << calendar(meter, calendars.filePath("big"));
            smallCalendarRuns << calendar(meter, calendars.filePath("small"));
        }
    }
    const auto step = [](const QList<CrashSteps> &runs, Figure CrashSteps::*which) {
        QList<Figure> out;
        for (const CrashSteps &r : runs)
            out << r.*which;
        return median(out);
    };
    const QByteArray n = "crash tab, " + QByteArray::number(reports) + " vs 10 reports: ";
    if (wanted("crash")) {
        row(n + "first scan shown", step(big, &CrashSteps::shown), step(small, &CrashSteps::shown));
        row(n + "rescan, one new", step(big, &CrashSteps::rescan), step(small, &CrashSteps::rescan));
        row(n + "select a report", step(big, &CrashSteps::select), step(small, &CrashSteps::select));
        row("report of one 4 MiB line vs 4 KiB: select", median(longRuns), median(shortRuns));
    }
    if (wanted("history"))
        row("battery history 30 MB vs none: load, capture, chart", median(historyRuns), median(noHistoryRuns));
    if (wanted("calendar"))
        row("calendar of 135,802 events (31 MB) vs 100: read", median(bigCalendarRuns), median(smallCalendarRuns));

    QList<Figure> slowDisk, disk, slowTick, idleTick;
    QList<SettingsSteps> bigConf, smallConf;
    for (int i = 0; i < kRuns; ++i) {
        if (wanted("privacy")) {
            slowDisk << privacyBurst(meter, 250);
            disk << privacyBurst(meter, 0);
        }
        if (wanted("activity")) {
            slowTick << activityTabDuringSlowTick(meter, 600);
            idleTick << activityTabDuringSlowTick(meter, 0);
        }
        if (wanted("settings")) {
            bigConf << bigSettings(meter, 50 * 1024 * 1024);
            smallConf << bigSettings(meter, 0);
        }
    }
    const auto settingsStep = [](const QList<SettingsSteps> &runs, Figure SettingsSteps::*which) {
        QList<Figure> out;
        for (const SettingsSteps &r : runs)
            out << r.*which;
        return median(out);
    };
    if (wanted("privacy"))
        row("privacy burst, fdatasync 250 ms vs as is", median(slowDisk), median(disk));
    if (wanted("activity"))
        row("activity tab opened, 600 ms tick vs none", median(slowTick), median(idleTick));
    if (wanted("settings")) {
        row("settings 50 MB vs small: first read", settingsStep(bigConf, &SettingsSteps::firstRead),
            settingsStep(smallConf, &SettingsSteps::firstRead));
        row("settings 50 MB vs small: one save", settingsStep(bigConf, &SettingsSteps::save),
            settingsStep(smallConf, &SettingsSteps::save));
    }
    return 0;
}
