#include "app/AppDelegate.h"
#include "app/GraphicsChoice.h"
#include "app/HiddenRelease.h"
#include "app/MainWindowHost.h"
#include "app/MenuBarExtra.h"
#include "app/ProcessEnd.h"
#include "app/QtTranslation.h"
#include "checks/SSDSpeedTester.h"
#include "app/SingleInstance.h"
#include "monitors/Publish.h"
#include "monitors/SamplerScheduler.h"
#include "common/AppIdentity.h"
#include "common/AppVersion.h"
#include "notify/BatteryHistory.h"
#include "notify/PrivacyNotifier.h"
#include "notify/ThresholdNotifier.h"
#include "state/AppState.h"

#include <QApplication>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QThreadPool>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

int main(int argc, char *argv[])
{
    // A dozen sampler threads that each allocate a snapshot a second would otherwise get an
    // allocator arena each, every one holding its own free pages.
    mallopt(M_ARENA_MAX, 2);
    if (corvane::preferSoftwareSceneGraph())
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    const std::vector<QByteArray> platformEnv = corvane::chooseWindowingPlatform(argc, argv);
    QApplication app(argc, argv);
    corvane::restoreEnvironment(platformEnv);
    // Qt's raster painting splits a fill taller than a few dozen lines across the global
    // thread pool, one thread per core: every small repaint of a sparkline would wake them
    // all. Our own background work has pools of its own; one helper thread is plenty for
    // our sizes.
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    // No display name: Qt would append it to every window title.
    QApplication::setApplicationVersion(corvane::appVersion());
    // Lets the desktop match the windows to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(corvane::kAppId);
    corvane::installQtDialogTranslation();

    // Logout, shutdown, kill and a closed terminal end the app as "Ieșire" does, through the
    // event loop; one that comes before the loop runs waits there.
    corvane::QuitSignals quitSignals;

    // One instance per user: a later launch hands its arguments to the running one and ends.
    corvane::SingleInstance instance;
    switch (instance.claim(QCoreApplication::arguments())) {
    case corvane::SingleInstance::Role::HandedOver:
        return 0;
    case corvane::SingleInstance::Role::NoAnswer:
        std::fputs("Corvane rulează deja, dar nu răspunde.\n", stderr);
        return 1;
    case corvane::SingleInstance::Role::Primary:
        break;
    }

    int rc = 0;
    {
        // The hub and its sampler threads live inside this scope, so they go before the
        // application object.
        // The monitors' publications of one second reach the screens together.
        corvane::PublicationBatch batch;
        batch.install();
        corvane::AppState state(nullptr);
        // Fans forced by this run go back to automatic however it ends; ones an earlier run
        // left forced go back now.
        corvane::FanControlBridge *fans = state.smc()->fanControl();
        fans->restoreIfLeftForced();
        // Qt's X11 backend ends the process with exit() when the display goes: the fans still
        // go back, and a display gone (a logout) is a normal end.
        corvane::setUnplannedExit([fans] {
            if (fans->mayBeForced() && fans->beginRestore())
                fans->finishRestore();
            if (corvane::displayConnectionLost()) {
                std::fflush(nullptr);
                ::_exit(0);
            }
        });
        // The engine and the main window; with every surface hidden they go, and come back
        // on the next show.
        corvane::MainWindowHost host(&state);
        corvane::AppDelegate delegate(&state, nullptr, corvane::makeWindowSystem());
        corvane::MenuBarExtra tray(&state, &delegate);
        // With a tray the app lives on when the window closes; without one the window is
        // the only way in, so closing it quits. Asked again at each close and whenever a
        // tray comes or goes.
        QApplication::setQuitOnLastWindowClosed(!tray.isAvailable());
        delegate.trayAvailable = [&tray] { return tray.isAvailable(); };
        QObject::connect(&tray, &corvane::MenuBarExtra::availabilityChanged, &delegate, [&delegate](bool available) {
            QApplication::setQuitOnLastWindowClosed(!available);
            delegate.trayAvailabilityChanged(available);
        });

        host.serve(&delegate);
        if (!host.build(true)) {
            corvane::clearUnplannedExit();
            return 1;
        }

        // What only starting and building the screens used goes back to the system.
        QObject::connect(&delegate, &corvane::AppDelegate::barModeActiveChanged, &state,
                         corvane::releaseIdleMemory(&state));

        delegate.bindServices = [&state] {
            corvane::PrivacyNotifier *privacy = corvane::PrivacyNotifier::shared();
            privacy->bind(state.camera(), state.mic());
            privacy->refreshAuthorization();
            corvane::ThresholdNotifier::shared()->bind(state.system(), state.battery(), state.smc());
            corvane::BatteryHistory::shared()->bind(state.battery());
        };
        delegate.requestNotificationPermission = [] { corvane::PrivacyNotifier::shared()->requestAuthorization(); };
        delegate.fanManualActive = [fans] { return fans->mayBeForced(); };
        delegate.restoreAutomaticFans = [fans] { fans->beginRestore(); };
        delegate.fanRestoreSettled = [fans] { return fans->restoreSettled(); };
        QObject::connect(&quitSignals, &corvane::QuitSignals::received, &delegate, [&delegate] { delegate.quit(); });
        QObject::connect(state.smc(), &corvane::SMCMonitor::cpuTempChanged, &tray,
                         [&state, &tray] { tray.setCpuTemp(state.smc()->cpuTemp()); });

        QObject::connect(&instance, &corvane::SingleInstance::argumentsReceived, &delegate,
                         [&delegate](const QStringList &arguments) { delegate.receiveLaunchArguments(arguments); });

        const QStringList args = QCoreApplication::arguments();
        QTimer::singleShot(0, &delegate, [&delegate, args] { delegate.applicationDidFinishLaunching(args); });
        QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                         [&delegate] { delegate.applicationWillTerminate(); });
        // Again, ahead of everything the screens made.
        corvane::armUnplannedExit();
        rc = QApplication::exec();
        corvane::clearUnplannedExit();

        // The way out: what the run recorded is on disk and the fans are back (settings were
        // written at aboutToQuit) before anything is torn down. A sampler stuck in a read (a
        // controller that stopped answering) then can't hold the process: its thread is left
        // and the process ends without it.
        corvane::BatteryHistory::shared()->finishSaving();
        fans->finishRestore();
        corvane::SamplerScheduler::boundJoins(std::chrono::steady_clock::now() + std::chrono::seconds(1), [&rc] {
            std::fflush(nullptr);
            ::_exit(rc);
        });
    }
    corvane::SamplerScheduler::boundJoins({}, nullptr);
    // A disk test closed just before quitting may still be removing its file.
    corvane::SSDSpeedTester::finishAbandonedRuns();
    return rc;
}
