// The longest time the GUI thread goes without handling its events while the crash tab and
// the battery history meet large inputs, beside the same steps with small inputs in the same
// run (the reference). A 1 ms timer on the GUI thread measures the gaps.
//
//   corvane_gui_freeze [reports]   (default 10000)
//
// Steps: the crash tab showing `reports` reports (first scan, a rescan that finds one new
// report, selecting a report), a report of one 4 MiB line, and a 30 MB battery history
// loaded, captured into and charted.
#include "fakes/MonitorFeeds.h"
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

#include <cstdio>
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
        m_timer.setInterval(1);
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
    }
    double worstMs() const { return double(m_worst) / 1e6; }

private:
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

    Window()
    {
        engine.addImportPath(QStringLiteral("qrc:/"));
        window.resize(1280 - 211, 800);
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

struct CrashSteps {
    double shown = 0, rescan = 0, select = 0;
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
    out.shown = meter.worstMs();

    QFile fresh(dir.filePath("_usr_bin_fresh.1000.crash"));
    fresh.open(QIODevice::WriteOnly);
    fresh.write("ProblemType: Crash\nExecutablePath: /usr/bin/fresh\n");
    fresh.close();
    meter.reset();
    reader->refresh();
    waitFor([&] { return reader->count() == reports + 1 && !reader->scanning(); }, 2000);
    out.rescan = meter.worstMs();

    meter.reset();
    view->setProperty("selection", selectionKey(reader->entries().value(std::min(5, reports))));
    waitFor([&] { return !view->property("selectedEntry").isNull(); }, 2000);
    out.select = meter.worstMs();
    return out;
}

double longLine(StallMeter &meter, qint64 lineBytes)
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
    return meter.worstMs();
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

double batteryHistory(StallMeter &meter, qint64 bytes)
{
    QTemporaryDir dir;
    if (bytes > 0)
        writeHistory(dir.filePath("battery-history.json"), bytes);
    Window w;
    test::BatteryFeed battery;
    battery.refresh(64, false);
    meter.reset();
    BatteryHistory history(dir.path(), Clock::system());
    history.bind(&battery.mon);
    w.load("BatteryHistoryCard", {{"history", QVariant::fromValue<QObject *>(&history)}});
    waitFor([&] { return history.property("loaded").toBool(); }, 3000);
    return meter.worstMs();
}

void row(const char *step, double app, double reference)
{
    std::printf("%-44s %9.1f ms %9.1f ms %8.1fx\n", step, app, reference, reference > 0 ? app / reference : 0.0);
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

    std::printf("%-44s %12s %12s %9s\n", "longest GUI-thread stall", "large input", "reference", "ratio");
    const CrashSteps big = crashTab(meter, reports);
    const CrashSteps small = crashTab(meter, 10);
    const QByteArray n = QByteArray::number(reports);
    row(("crash tab, " + n + " vs 10 reports: first scan shown").constData(), big.shown, small.shown);
    row(("crash tab, " + n + " vs 10 reports: rescan, one new").constData(), big.rescan, small.rescan);
    row(("crash tab, " + n + " vs 10 reports: select a report").constData(), big.select, small.select);
    row("report of one 4 MiB line vs 4 KiB line: select", longLine(meter, 4 * 1024 * 1024 - 64), longLine(meter, 4096));
    row("battery history 30 MB vs none: load, capture, chart", batteryHistory(meter, 30'000'000), batteryHistory(meter, 0));
    return 0;
}
