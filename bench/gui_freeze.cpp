// The longest time the GUI thread goes without handling its events while the crash tab and
// the battery history meet large inputs, beside the same steps with small inputs in the same
// run (the reference). A 2 ms timer on the GUI thread measures the gaps; the GUI thread's own
// CPU time over the step, less what the thread spends idling with the timer for as long,
// tells the work done there from time lost to a busy machine (a step that costs the GUI
// thread less than 100 ms of CPU can't block it for longer by itself).
// Each step runs three times (by default); the medians are printed.
//
//   corvane_gui_freeze [reports [runs]]   (default 10000 reports, 3 runs)
//
// Steps: the crash tab showing `reports` reports (first scan, a rescan that finds one new
// report, selecting a report), a report of one 4 MiB line, and a 30 MB battery history
// loaded, captured into and charted by a card made beforehand. Each screen is shown once
// with small inputs first, so neither side pays for loading its QML.
#include "fakes/MonitorFeeds.h"
#include "gui_freeze_calendar.h"
#include "notify/BatteryHistory.h"
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
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUuid>
#include <QtQml/qqmlextensionplugin.h>

#include <algorithm>
#include <cstdio>
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
    QTemporaryDir calendars;
    bench::writeBigCalendar(calendars.filePath("big"), 135'802);
    bench::writeBigCalendar(calendars.filePath("small"), 100);
    QList<Figure> bigCalendarRuns, smallCalendarRuns;
    QList<CrashSteps> big, small;
    QList<Figure> longRuns, shortRuns, historyRuns, noHistoryRuns;
    for (int i = 0; i < kRuns; ++i) {
        big << crashTab(meter, reports);
        small << crashTab(meter, 10);
        longRuns << longLine(meter, 4 * 1024 * 1024 - 64);
        shortRuns << longLine(meter, 4096);
        historyRuns << batteryHistory(meter, 30'000'000);
        noHistoryRuns << batteryHistory(meter, 0);
        bigCalendarRuns << calendar(meter, calendars.filePath("big"));
        smallCalendarRuns << calendar(meter, calendars.filePath("small"));
    }
    const auto step = [](const QList<CrashSteps> &runs, Figure CrashSteps::*which) {
        QList<Figure> out;
        for (const CrashSteps &r : runs)
            out << r.*which;
        return median(out);
    };
    const QByteArray n = "crash tab, " + QByteArray::number(reports) + " vs 10 reports: ";
    row(n + "first scan shown", step(big, &CrashSteps::shown), step(small, &CrashSteps::shown));
    row(n + "rescan, one new", step(big, &CrashSteps::rescan), step(small, &CrashSteps::rescan));
    row(n + "select a report", step(big, &CrashSteps::select), step(small, &CrashSteps::select));
    row("report of one 4 MiB line vs 4 KiB: select", median(longRuns), median(shortRuns));
    row("battery history 30 MB vs none: load, capture, chart", median(historyRuns), median(noHistoryRuns));
    row("calendar of 135,802 events (31 MB) vs 100: read", median(bigCalendarRuns), median(smallCalendarRuns));
    return 0;
}
