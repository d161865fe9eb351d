// Pictures of the screens as a user sees them, the same bytes on every run, for comparing the
// painting of two builds (bench/screen_diff.sh):
//
//   corvane_screen_shots <out-dir>
//       writes <screen>-<w>x<h>.png for the main window on the dashboard (and scrolled to its
//       end), on the tests tab, and the Bar Mode strip, each for a 1280×800 and a 1600×1000
//       screen; exits 1 on any warning (a QML one above all).
//   corvane_screen_shots --compare <a.png> <b.png> <diff.png>
//       prints the differing pixels and the largest channel difference; writes the diff
//       picture (the differences in red over a dimmed `a`) when there are any. Exits 0 when
//       the pictures are the same, 2 when they differ, 1 when one can't be read.
//
// Held still: a fake hub with three minutes of a laptop's readings (the fixture laptop's
// battery and USB devices, the applesmc fixture's sensors and fans), the time of day every
// clock shows (WallTime), Europe/Bucharest and ro_RO, private settings and calendar, and
// animation time: every QML animation and Timer moves in 16 ms steps this program takes. A
// window draws only when grabbed, whole, once its entrances have come in and stopped; it is
// kept once three grabs a quarter of a second apart (animation time) come out alike, and the
// glows are drawn anew.
#include "fakes/FakeHub.h"
#include "monitors/CalendarMonitor.h"
#include "platform/SmcTransport.h"
#include "state/BarModeSettings.h"
#include "support/FixtureLaptop.h"
#include "ui/shared/WallTime.h"

#include <QAnimationDriver>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimeZone>
#include <QVariantAnimation>
#include <QtQml/qqmlextensionplugin.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numbers>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

using namespace corvane;

namespace {

constexpr int kStepMs = 16;
constexpr int kStepsPerGrab = 16;  // a grab every 256 ms of animation time
constexpr int kEqualGrabs = 3;     // settled: this many grabs in a row alike
const QString kMeeting = QStringLiteral("Sincronizare echipă");

// The animation clock: it moves only when step() is called, by exactly that much.
class SteppedDriver final : public QAnimationDriver {
public:
    void step(int ms)
    {
        m_ms += ms;
        if (isRunning())
            advance();
    }
    qint64 elapsed() const override { return m_ms - m_startMs; }

protected:
    void start() override
    {
        m_startMs = m_ms;
        QAnimationDriver::start();
    }

private:
    qint64 m_ms = 0;
    qint64 m_startMs = 0;
};

SteppedDriver *s_driver = nullptr;
QStringList s_warnings;

void recordWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    const QString line = (context.category && qstrcmp(context.category, "default") != 0
                              ? QString::fromLatin1(context.category) + QStringLiteral(": ")
                              : QString())
                         + text;
    std::fprintf(stderr, "%s\n", qPrintable(line));
    if (type != QtDebugMsg && type != QtInfoMsg)
        s_warnings << line;
}

// Every item under `root` in the visual tree (delegates and pushed pages included).
void collect(QQuickItem *root, QList<QQuickItem *> &out)
{
    out << root;
    for (QQuickItem *child : root->childItems())
        collect(child, out);
}

QList<QQuickItem *> itemsUnder(QQuickWindow &window)
{
    QList<QQuickItem *> out;
    collect(window.contentItem(), out);
    return out;
}

// Handles what is pending, then moves animation time on by one step.
void step()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    s_driver->step(kStepMs);
    QCoreApplication::processEvents();
}

// The entrances (CascadeEntrance.qml) have come in and stopped: false while one waits for
// its turn or moves. Their spring steps by FrameAnimation's frame times, which come from the
// system clock, so where it stops, within its margin of the target, differs from run to run:
// each one that has stopped is put exactly on its target.
bool entrancesDone(QQuickWindow &window)
{
    bool done = true;
    for (QQuickItem *item : itemsUnder(window)) {
        const QVariant shown = item->property("_shown");
        if (!shown.isValid() || !item->isVisible())
            continue;
        const double target = item->property("progress").toDouble();
        const double velocity = item->property("_velocity").toDouble();
        if (!item->property("appeared").toBool()) {
            done = false;
        } else if (shown.toDouble() == target && velocity == 0) {
            continue;
        } else if (std::abs(shown.toDouble() - target) <= 0.0005 && std::abs(velocity) <= 0.001) {
            item->setProperty("_velocity", 0.0);
            item->setProperty("_shown", target);
        } else {
            done = false;
        }
    }
    return done;
}

// A glow (SoftGlow) keeps the mask it drew until its text, font or box changes or its size
// does by a whole pixel: drawn while a layout was still settling, it stays a fraction of a
// pixel off, depending on when it was first drawn. Each is made to draw its mask anew.
void redrawGlows(QQuickWindow &window)
{
    for (QQuickItem *item : itemsUnder(window)) {
        if (!item->inherits("corvane::effects::SoftGlow"))
            continue;
        const double inset = item->property("inset").toDouble();
        item->setProperty("inset", inset + 1);
        item->setProperty("inset", inset);
    }
}

// Keeps a window from drawing frames of its own: it draws only when grabbed, and is grabbed
// only while nothing moves on the system clock. The first glyph a font draws sets how many
// sub-pixel positions its glyphs get, drawn mid-entrance (scaled) it may set another number.
class GrabsOnly : public QObject {
protected:
    bool eventFilter(QObject *, QEvent *e) override { return e->type() == QEvent::UpdateRequest; }
};

// The window drawn whole. The software renderer repaints only what changed since its last
// frame, so a plain grab keeps whatever earlier frames left at the edges of moved things. A
// frame in another background colour makes the next one repaint everything.
QImage wholeGrab(QQuickWindow &window)
{
    const QColor color = window.color();
    window.setColor(color == Qt::black ? Qt::white : Qt::black);
    (void)window.grabWindow();
    window.setColor(color);
    return window.grabWindow();
}

// Steps until the entrances are done and kEqualGrabs grabs in a row are alike, then again
// after the glows are drawn anew; that last grab.
QImage settledGrab(QQuickWindow &window, const QString &what)
{
    QImage last;
    int alike = 0;
    bool glowsRedrawn = false;
    QDeadlineTimer deadline(std::chrono::seconds(120));
    for (int i = 1; !deadline.hasExpired(); ++i) {
        step();
        if (i % kStepsPerGrab != 0 || !entrancesDone(window))
            continue;
        QImage grab = wholeGrab(window);
        if (grab.isNull()) {
            s_warnings << what + QStringLiteral(": the window gave no picture");
            return {};
        }
        alike = grab == last ? alike + 1 : 1;
        last = std::move(grab);
        if (alike < kEqualGrabs)
            continue;
        if (glowsRedrawn)
            return last;
        redrawGlows(window);
        glowsRedrawn = true;
        alike = 0;
    }
    s_warnings << what + QStringLiteral(": still changing after two minutes");
    return last;
}

void save(const QImage &image, const QString &path)
{
    if (image.isNull() || !image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG"))
        s_warnings << QStringLiteral("could not write ") + path;
    else
        std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
}

// ---- The machine --------------------------------------------------------------------------

// Three minutes of a laptop at work, one reading a second (the cards keep the last 90): a
// quiet desktop, then a build, a download saved to the disk, a video call and the odd spike.
struct Second {
    int i;
    double wave(double period) const { return std::sin(2 * std::numbers::pi * i / period); }
    bool within(int from, int to) const { return i >= from && i < to; }
    // A fixed jitter in [0, 1), different for each `salt`: integer hashing, the same anywhere.
    double jitter(uint32_t salt) const
    {
        uint32_t x = uint32_t(i) * 2654435761u ^ salt * 40503u;
        x ^= x >> 13;
        x *= 0x5bd1e995u;
        x ^= x >> 15;
        return double(x & 0xffff) / 65536.0;
    }
};
constexpr int kSeconds = 180;
constexpr uint64_t kMiB = 1024ull * 1024;
constexpr uint64_t kGiB = 1024 * kMiB;

double cpuAt(Second s)
{
    double v = 0.12 + 0.06 * s.jitter(1) + 0.03 * s.wave(23);
    if (s.within(100, 136))
        v += 0.48 + 0.08 * s.jitter(2); // the build
    if (s.within(150, 158))
        v += 0.2;
    if (s.i % 29 == 11)
        v = 0.93; // something woke up
    return std::clamp(v, 0.0, 1.0);
}

double gpuAt(Second s)
{
    double v = 0.06 + 0.04 * s.jitter(3);
    if (s.within(118, 140))
        v = 0.66 + 0.08 * s.jitter(4); // the call's effects
    if (s.i % 37 == 20)
        v = 0.52;
    return std::clamp(v, 0.0, 1.0);
}

// The network's totals since boot, which the readings add to.
struct Totals {
    uint64_t received = 18'420'000'000;
    uint64_t sent = 2'130'000'000;
};

void publishSecond(test::FakeHub &hub, const SMCMonitor::Snapshot &sensors, Totals &totals, Second s)
{
    AppState &st = hub.state;

    SystemSnapshot sys;
    sys.cpu = cpuAt(s);
    sys.totalBytes = 16 * kGiB;
    uint64_t used = 7 * kGiB + 310 * kMiB;
    if (s.i >= 100)
        used += 2 * kGiB + 120 * kMiB; // the build's compilers
    if (s.i >= 137)
        used -= 1 * kGiB + 700 * kMiB;
    if (s.i >= 152)
        used += 420 * kMiB;
    sys.usedBytes = used + uint64_t(24 * kMiB * s.jitter(5));
    sys.uptime = 3 * 86400 + 4 * 3600 + 12 * 60 + s.i;
    st.system()->publish(sys);

    NetworkSnapshot net;
    uint64_t down = uint64_t(150'000 * (0.6 + 0.9 * s.jitter(6)));
    if (s.within(104, 124))
        down = uint64_t(11'400'000 * (0.85 + 0.15 * s.jitter(7))); // the download
    if (s.i % 41 == 7)
        down = 4'300'000;
    uint64_t up = uint64_t(35'000 * (0.6 + 0.9 * s.jitter(8)));
    if (s.within(118, 140))
        up = uint64_t(2'600'000 * (0.9 + 0.1 * s.jitter(9))); // the call's video
    net.rates = NetworkSnapshot::Rates{down, up};
    totals.received += down;
    totals.sent += up;
    net.received = totals.received;
    net.sent = totals.sent;
    net.primary = QStringLiteral("wlp0s20f3");
    st.network()->publish(net);

    StorageSnapshot disk;
    uint64_t read = uint64_t(180'000 * s.jitter(10) * s.jitter(11));
    uint64_t write = uint64_t(120'000 * s.jitter(12));
    if (s.within(100, 108))
        read = uint64_t(420'000'000 * (0.8 + 0.2 * s.jitter(13))); // the build reading its sources
    if (s.within(125, 129))
        write = 1'350'000'000; // the download saved
    if (s.i % 17 == 3)
        write = 18'000'000;
    disk.rates = StorageSnapshot::Rates{read, write};
    disk.driveName = QStringLiteral("Samsung SSD 980 PRO 1TB");
    disk.totalBytes = 1'000'204'886'016;
    disk.freeBytes = 412'530'000'000 - uint64_t(s.i >= 125 ? 1'600'000'000 : 0);
    st.storage()->publish(disk);

    GPUSnapshot gpu;
    if (s.i == 0)
        gpu.device = std::optional<GpuDeviceInfo>(GpuDeviceInfo{QStringLiteral("Intel Iris Xe Graphics"), 4 * kGiB});
    gpu.hasDevice = true;
    gpu.usedBytes = 820 * kMiB + uint64_t(gpuAt(s) * 900 * kMiB);
    gpu.utilization = gpuAt(s);
    st.gpu()->publish(gpu);

    // The applesmc fixture's sensors and fans, warming with the load.
    SMCMonitor::Snapshot smc = sensors;
    const double heat = cpuAt(s);
    for (int n = 0; n < smc.temperatures.size(); ++n) {
        SMCTemperatureReading &t = smc.temperatures[n];
        const double spread = (n % 4) * 1.75 - 2.5; // no two sensors alike
        if (t.key.startsWith(QLatin1String("TC")))
            t.celsius = std::round((44 + 38 * heat + 1.5 * s.wave(9) + spread) * 4) / 4;
        else if (t.key.startsWith(QLatin1String("TG")))
            t.celsius = std::round((41 + 30 * gpuAt(s) + spread) * 4) / 4;
        else
            t.celsius = std::round((31 + 2 * heat) * 4) / 4;
    }
    smc.cpuTemp = 44 + 38 * heat;
    smc.gpuTemp = 41 + 30 * gpuAt(s);
    for (SMCFanReading &f : smc.fans)
        f.rpm = std::round(std::clamp(f.minRPM + (smc.cpuTemp - 45) * 95, f.minRPM, f.maxRPM));
    st.smc()->publish(smc);
}

void feedMachine(test::FakeHub &hub)
{
    AppState &st = hub.state;
    test::publishFixtureLaptop(st);

    SMCMonitor fixture(makeLinuxSmcTransport(QStringLiteral(CORVANE_FIXTURES "/applesmc")), hub.clock, false);
    const SMCMonitor::Snapshot sensors = fixture.sampler().sample();
    Totals totals;
    for (int i = 0; i < kSeconds; ++i)
        publishSecond(hub, sensors, totals, Second{i});

    WiFiInterfaceReading wifi;
    wifi.ssid = QStringLiteral("Casa Popescu");
    wifi.rssi = -58;
    wifi.noise = -92;
    wifi.transmitRate = 866.7;
    wifi.security = static_cast<int64_t>(WiFiSecurity::WPA3Personal);
    wifi.channel = WiFiChannel{36, 2};
    st.wifi()->publish(WiFiMonitor::sampleFrom(wifi));

    // A 60 Hz display drawing every refresh.
    hub.frames->nominal = 60.0;
    st.fps()->start();
    test::FakeDisplayLink::frames(*hub.frames, 60);
    hub.clock.advance(1.0);
    st.fps()->publish();
    st.fps()->stop(); // keeps the figures
}

// ---- The screens --------------------------------------------------------------------------

struct Size {
    int width, height;
    QString name() const { return QStringLiteral("%1x%2").arg(width).arg(height); }
};

// The main window as main() builds it, on `tab`; then, when the tab's page is taller than the
// window, the same scrolled to its end.
void shootMainWindow(AppState &hub, const QString &tab, const char *flickableName, Size size, const QString &dir,
                     const QString &prefix)
{
    hub.setTabRaw(tab);
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.setInitialProperties({{QStringLiteral("width"), size.width},
                                 {QStringLiteral("height"), size.height},
                                 {QStringLiteral("visible"), false}});
    engine.load(QUrl(QStringLiteral("qrc:/Corvane/MainWindow.qml")));
    auto *window = engine.rootObjects().isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    if (!window) {
        s_warnings << QStringLiteral("the main window could not be built");
        return;
    }
    GrabsOnly grabsOnly;
    window->installEventFilter(&grabsOnly);
    window->show();
    const QString what = prefix + '-' + size.name();
    const QImage top = settledGrab(*window, what);
    if (top.size() != QSize(size.width, size.height))
        s_warnings << QStringLiteral("%1: the window is %2x%3").arg(what).arg(top.width()).arg(top.height());
    save(top, dir + '/' + what + QStringLiteral(".png"));

    QQuickItem *flickable = nullptr;
    for (QQuickItem *item : itemsUnder(*window))
        if (item->objectName() == QLatin1String(flickableName) && item->isVisible())
            flickable = item;
    if (flickable && flickable->inherits("QQuickScrollView"))
        flickable = flickable->property("contentItem").value<QQuickItem *>();
    if (!flickable || !flickable->inherits("QQuickFlickable")) {
        s_warnings << what + QStringLiteral(": no ") + QString::fromLatin1(flickableName);
        return;
    }
    const double end = flickable->property("contentHeight").toDouble() - flickable->height();
    if (end > 0.5) {
        flickable->setProperty("contentY", end);
        const QString scrolled = prefix + QStringLiteral("-end-") + size.name();
        save(settledGrab(*window, scrolled), dir + '/' + scrolled + QStringLiteral(".png"));
        // The tab remembers where it was scrolled to: the next window opens at the top again.
        flickable->setProperty("contentY", 0.0);
    }
}

// The strip as Bar Mode makes it: a frameless transparent window across the screen's top.
void shootBarMode(Size size, const QString &dir)
{
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/Corvane/BarModePanel.qml")));
    std::unique_ptr<QObject> obj(component.createWithInitialProperties({{QStringLiteral("visible"), false}}));
    auto *window = qobject_cast<QQuickWindow *>(obj.get());
    if (!window) {
        s_warnings << QStringLiteral("the Bar Mode strip could not be built: ") + component.errorString();
        return;
    }
    window->setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint);
    window->setColor(Qt::transparent);
    window->setGeometry(0, 0, size.width, int(BarModeSettings::shared()->height()));
    GrabsOnly grabsOnly;
    window->installEventFilter(&grabsOnly);
    window->show();
    const QString what = QStringLiteral("barmode-") + size.name();
    const QImage strip = settledGrab(*window, what);
    // The agenda reads this program's calendar, not the desktop's.
    bool agenda = false;
    for (QQuickItem *item : itemsUnder(*window))
        agenda = agenda || item->property("text").toString() == kMeeting;
    if (!agenda)
        s_warnings << what + QStringLiteral(": the agenda does not show the meeting");
    save(strip, dir + '/' + what + QStringLiteral(".png"));
}

// ---- Comparison ---------------------------------------------------------------------------

int compare(const QString &aPath, const QString &bPath, const QString &diffPath)
{
    const QImage a = QImage(aPath).convertToFormat(QImage::Format_ARGB32);
    const QImage b = QImage(bPath).convertToFormat(QImage::Format_ARGB32);
    if (a.isNull() || b.isNull()) {
        std::printf("unreadable: %s\n", qPrintable(a.isNull() ? aPath : bPath));
        return 1;
    }
    if (a.size() != b.size()) {
        std::printf("sizes differ: %dx%d and %dx%d\n", a.width(), a.height(), b.width(), b.height());
        return 2;
    }
    qint64 differing = 0;
    int largest = 0;
    QImage diff(a.size(), QImage::Format_ARGB32);
    for (int y = 0; y < a.height(); ++y) {
        const auto *pa = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *pb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        auto *out = reinterpret_cast<QRgb *>(diff.scanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int d = std::max({std::abs(qRed(pa[x]) - qRed(pb[x])), std::abs(qGreen(pa[x]) - qGreen(pb[x])),
                                    std::abs(qBlue(pa[x]) - qBlue(pb[x])), std::abs(qAlpha(pa[x]) - qAlpha(pb[x]))});
            const int grey = qGray(pa[x]) * qAlpha(pa[x]) / 255 / 4;
            out[x] = d ? qRgb(255, 0, 0) : qRgb(grey, grey, grey);
            differing += d ? 1 : 0;
            largest = std::max(largest, d);
        }
    }
    std::printf("%lld differing pixels, largest channel difference %d\n", static_cast<long long>(differing), largest);
    if (differing && !diff.save(diffPath, "PNG"))
        std::printf("could not write %s\n", qPrintable(diffPath));
    return differing ? 2 : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 5 && qstrcmp(argv[1], "--compare") == 0) {
        QCoreApplication app(argc, argv);
        return compare(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]));
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <out-dir>\n       %s --compare <a.png> <b.png> <diff.png>\n", argv[0], argv[0]);
        return 1;
    }

    // Nothing of this machine's or this user's set-up reaches the pictures.
    QTemporaryDir home;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QSG_RENDER_LOOP", "basic");
    for (const char *name : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_ENABLE_HIGHDPI_SCALING", "QT_FONT_DPI",
                             "QT_QUICK_CONTROLS_STYLE", "QT_QUICK_CONTROLS_CONF", "QSG_RHI_BACKEND", "QT_QUICK_BACKEND",
                             "LANGUAGE", "LC_TIME", "LC_NUMERIC", "LC_MESSAGES"})
        qunsetenv(name);
    qputenv("TZ", "Europe/Bucharest");
    qputenv("LC_ALL", "ro_RO.UTF-8");
    qputenv("LANG", "ro_RO.UTF-8");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + "/cache").toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    // No session bus: the desktop's calendars stay out, the files under the data folder are read.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    QDir().mkpath(home.path() + "/data/evolution/calendar/system");
    QFile meeting(home.path() + "/data/evolution/calendar/system/calendar.ics");
    if (!meeting.open(QIODevice::WriteOnly)
        || meeting.write("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Corvane//screen shots//RO\r\n"
                         "BEGIN:VEVENT\r\nUID:meeting@screen-shots\r\nDTSTAMP:20250101T070000Z\r\n"
                         "DTSTART:20250101T080000Z\r\nDTEND:20991231T170000Z\r\n"
                         "SUMMARY:" + kMeeting.toUtf8() + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n") < 0) {
        std::fprintf(stderr, "cannot write the calendar\n");
        return 1;
    }
    meeting.close();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path() + "/config");
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path() + "/config");
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);

    qInstallMessageHandler(recordWarnings);
    QApplication app(argc, argv);
    QThreadPool::globalInstance()->setMaxThreadCount(1); // as main() has it
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    QSettings().setValue(QStringLiteral("didFinishOnboarding"), true);

    SteppedDriver driver;
    driver.install();
    s_driver = &driver;
    // A QML Timer alone runs on a real timer (Qt stops the animation clock while only pauses
    // run): one endless animation keeps every Timer on the stepped clock.
    QVariantAnimation keepStepping;
    keepStepping.setStartValue(0.0);
    keepStepping.setEndValue(1.0);
    keepStepping.setDuration(1000);
    keepStepping.setLoopCount(-1);
    keepStepping.start();

    // Tuesday 14 October 2025, 10:42:17.25 in Bucharest, for every clock shown.
    test::FakeClock shownTime;
    const QDateTime at(QDate(2025, 10, 14), QTime(10, 42, 17, 250), QTimeZone("Europe/Bucharest"));
    shownTime.setWall(double(at.toMSecsSinceEpoch()) / 1000.0);
    WallTime::setClock(&shownTime);

    test::FakeHub hub;
    feedMachine(hub);

    // The strip's agenda: a meeting under way, from a calendar file of this program's (the
    // calendar's countdown runs on the system clock; "under way" reads the same at any time).
    CalendarMonitor *calendar = CalendarMonitor::shared();
    if (!QTest::qWaitFor([calendar] { return calendar->nextEvent().has_value(); }, 10000)) {
        std::fprintf(stderr, "the calendar gave no event\n");
        return 1;
    }
    calendar->timer()->stop();

    for (const Size size : {Size{1280, 800}, Size{1600, 1000}}) {
        shootMainWindow(hub.state, QStringLiteral("live"), "scroller", size, dir, QStringLiteral("dashboard"));
        shootMainWindow(hub.state, QStringLiteral("tests"), "testsScroll", size, dir, QStringLiteral("tests"));
        shootBarMode(size, dir);
    }

    WallTime::setClock(nullptr);
    if (!s_warnings.isEmpty()) {
        for (const QString &w : std::as_const(s_warnings))
            std::fprintf(stderr, "warning: %s\n", qPrintable(w));
        std::fprintf(stderr, "%lld warning(s): the pictures may not show the screens as they are\n",
                     static_cast<long long>(s_warnings.size()));
        return 1;
    }
    return 0;
}
