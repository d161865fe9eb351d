// What the desktop brings after the app has started, under a real window manager (openbox on
// Xvfb): a tray that comes and goes, and the native save dialog of GTK's platform theme.
#include "report/SystemReportPage.h"
#include "common/DialogOwner.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QProcess>
#include <QQuickWindow>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

using namespace corvane;

namespace {

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 20000))
        p.kill();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QStringList lines(const QString &text) { return text.split('\n', Qt::SkipEmptyParts); }

bool waitFor(const std::function<bool()> &f) { return QTest::qWaitFor(f, 30000); }

bool wmAvailable()
{
    return QGuiApplication::platformName() == "xcb"
        && run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
}

void shot(const QString &name)
{
    const QString dir = qEnvironmentVariable("CORVANE_SHOTS");
    if (!dir.isEmpty())
        run("import", {"-window", "root", dir + "/" + name});
}

// Closed through the window manager, as its close button does: a request to the manager,
// which asks the app to close the window.
void closeThroughManager(const QString &window)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_TRUE(x11);
    xcb_connection_t *c = x11->connection();
    const QByteArray name("_NET_CLOSE_WINDOW");
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, name.size(), name.constData()), nullptr);
    ASSERT_TRUE(atom);
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = window.toUInt();
    ev.type = atom->atom;
    ev.data.data32[1] = 2; // from a pager or taskbar, which the manager always obeys
    free(atom);
    xcb_send_event(c, 0, xcb_setup_roots_iterator(xcb_get_setup(c)).data->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY, reinterpret_cast<const char *>(&ev));
    xcb_flush(c);
}

// The built program, started as at login with a home of its own.
class App {
public:
    App()
    {
        QDir().mkpath(m_home.path() + "/config/Corvane");
        QDir().mkpath(m_home.path() + "/run");
        QFile::setPermissions(m_home.path() + "/run", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QSettings conf(m_home.path() + "/config/Corvane/Corvane.conf", QSettings::IniFormat);
        conf.setValue("didFinishOnboarding", true);
        conf.setValue("didRequestPrivacyAuth", true);
        conf.sync();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_home.path());
        env.insert("XDG_CONFIG_HOME", m_home.path() + "/config");
        env.insert("XDG_DATA_HOME", m_home.path() + "/data");
        env.insert("XDG_CACHE_HOME", m_home.path() + "/cache");
        env.insert("XDG_RUNTIME_DIR", m_home.path() + "/run");
        m_proc.setProcessEnvironment(env);
        m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_proc.start(QStringLiteral(CORVANE_BINARY_DIR "/corvane"), {});
    }
    ~App()
    {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.kill();
            m_proc.waitForFinished(5000);
        }
    }
    bool running() const { return m_proc.state() == QProcess::Running; }
    // Its shown windows, those whose name matches `name` (a regular expression) when given.
    QStringList shown(const QString &name = {}) const
    {
        if (!running())
            return {};
        QStringList args{"search", "--onlyvisible", "--pid", QString::number(m_proc.processId())};
        if (!name.isEmpty())
            args << "--name" << name;
        return lines(run("xdotool", args));
    }
    QString mainWindow() const
    {
        QString id;
        (void)waitFor([&] {
            const QStringList ids = shown("^Corvane Skerrin Widget$");
            id = ids.value(0);
            return !id.isEmpty();
        });
        return id;
    }
    int exitCode()
    {
        if (!waitFor([&] { return m_proc.state() == QProcess::NotRunning; }))
            return -1;
        return m_proc.exitStatus() == QProcess::NormalExit ? m_proc.exitCode() : -1;
    }

private:
    QTemporaryDir m_home;
    QProcess m_proc;
};

} // namespace

// Started before the panel, as autostart often is: the icon docks once a tray comes, its popup
// opens, and closing the window leaves the app in the tray. With the tray gone the window comes
// back by itself, and closing it then quits.
TEST(LateTray, ClosingTheWindowFollowsTheTrayOfTheMoment)
{
    if (!wmAvailable())
        GTEST_SKIP() << "needs an X server with a window manager";
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "a tray is already there";
    App app;
    const QString main = app.mainWindow();
    ASSERT_FALSE(main.isEmpty()) << "no main window";

    QProcess trayer;
    trayer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    trayer.start("trayer", {"--edge", "top", "--SetDockType", "true", "--height", "26"});
    ASSERT_TRUE(trayer.waitForStarted(10000));
    ASSERT_TRUE(waitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); })) << "no tray host";

    // The icon: the app's one shown window besides the main one.
    QString icon;
    ASSERT_TRUE(waitFor([&] {
        for (const QString &id : app.shown())
            if (id != main)
                icon = id;
        return !icon.isEmpty();
    })) << "the icon did not dock";
    // The popup: a third window, which a second click on the icon takes away.
    auto popupShown = [&] { return app.shown().size() > 2; };
    run("xdotool", {"mousemove", "--window", icon, "8", "8", "click", "1"});
    EXPECT_TRUE(waitFor(popupShown)) << "the icon opened no popup";
    shot("late-tray-popup.png");
    run("xdotool", {"mousemove", "--window", icon, "8", "8", "click", "1"});
    EXPECT_TRUE(waitFor([&] { return !popupShown(); })) << "a second click left the popup open";

    closeThroughManager(main);
    ASSERT_TRUE(waitFor([&] { return !app.shown().contains(main); })) << "the window stayed";

    trayer.terminate();
    ASSERT_TRUE(trayer.waitForFinished(10000));
    ASSERT_TRUE(waitFor([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }));
    const QString back = app.mainWindow();
    ASSERT_TRUE(app.running()) << "closing the window quit the app while a tray held its icon";
    ASSERT_FALSE(back.isEmpty()) << "with the tray gone the app stayed out of reach";
    closeThroughManager(back);
    EXPECT_EQ(app.exitCode(), 0) << "closing the window without a tray left the app running";
}

// Under GTK's platform theme the save dialog is GTK's own window: it is transient for the
// window it was opened from, stays above it after a click on that window, and starts in the
// documents folder.
TEST(DialogWithItsWindow, TheSaveDialogStaysAboveItsWindow)
{
    if (!wmAvailable())
        GTEST_SKIP() << "needs an X server with a window manager";
    if (qgetenv("QT_QPA_PLATFORMTHEME") != "gtk3") {
        // Qt loads its platform theme as the application starts: the case runs again in a
        // process of its own under GTK's.
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORMTHEME", "gtk3");
        if (env.contains("ASAN_OPTIONS")) // what GTK keeps to the end is not this test's
            env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=%1.%2").arg(info->test_suite_name(), info->name())});
        ASSERT_TRUE(QTest::qWaitFor([&] { return child.state() == QProcess::NotRunning; }, 240000));
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0);
        return;
    }
    const QString documents = QDir::homePath() + "/Documents";
    EXPECT_EQ(documentsFolder(), QDir::homePath()) << "no documents folder yet";
    ASSERT_TRUE(QDir().mkpath(documents));

    QQuickWindow main;
    main.setTitle("Fereastra");
    main.setGeometry(20, 30, 1240, 740);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    main.requestActivate();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));

    const auto dialog = SystemReportPage::saveDialog(dialogOwner(), "raport.pdf");
    dialog->setWindowModality(Qt::ApplicationModal); // as exec() makes it
    dialog->show();
    QString id;
    ASSERT_TRUE(waitFor([&] {
        id = lines(run("xdotool", {"search", "--onlyvisible", "--name", "^Salvează raportul de sistem$"})).value(0);
        return !id.isEmpty();
    })) << "no dialog on screen";
    EXPECT_NE(id.toULongLong(), dialog->winId()) << "Qt's own dialog, not GTK's";
    EXPECT_TRUE(waitFor([&] { return dialog->directory().absolutePath() == documents; }))
        << dialog->directory().absolutePath().toStdString();
    const QString transient = run("xprop", {"-id", id, "WM_TRANSIENT_FOR"});
    EXPECT_TRUE(transient.contains("0x" + QString::number(main.winId(), 16))) << transient.toStdString();

    // A click on the window, away from the dialog.
    const QStringList geometry = lines(run("xdotool", {"getwindowgeometry", "--shell", id}));
    auto field = [&](const QString &key) {
        for (const QString &l : geometry)
            if (l.startsWith(key + "="))
                return l.mid(key.size() + 1).toInt();
        return -1;
    };
    const QRect dialogAt(field("X"), field("Y"), field("WIDTH"), field("HEIGHT"));
    QPoint at = main.geometry().bottomLeft() + QPoint(12, -12);
    if (dialogAt.contains(at))
        at = main.geometry().topRight() + QPoint(-12, 12);
    ASSERT_FALSE(dialogAt.contains(at)) << "the dialog covers the window: " << dialogAt.x() << "," << dialogAt.y() << " "
                                        << dialogAt.width() << "x" << dialogAt.height();
    run("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
    // The stacking once the manager is done with the click: the same in three reads in a row.
    QStringList stacking;
    int same = 0;
    ASSERT_TRUE(waitFor([&] {
        const QStringList now = run("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"}).section('#', 1).split(',', Qt::SkipEmptyParts);
        same = now == stacking ? same + 1 : 0;
        stacking = now;
        return same >= 3;
    }));
    shot("save-dialog-after-click.png");
    auto place = [&](quint64 window) {
        for (int i = 0; i < stacking.size(); ++i)
            if (stacking[i].trimmed().remove("0x").toULongLong(nullptr, 16) == window)
                return i;
        return -1;
    };
    EXPECT_GT(place(id.toULongLong()), place(main.winId())) << "the window came over its dialog";
    dialog->reject();
    EXPECT_TRUE(waitFor([&] { return !dialog->isVisible(); }));
}
