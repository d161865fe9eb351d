#pragma once
// The hub every surface reads: owns the long-lived monitors for the whole run, holds the
// selected tab and a pending quick test, and pauses the costly samplers while nothing shows.
#include "monitors/BatteryMonitor.h"
#include "monitors/CameraMonitor.h"
#include "monitors/DisplayMonitor.h"
#include "monitors/MicrophoneMonitor.h"
#include "monitors/SMCMonitor.h"
#include "monitors/FPSMonitor.h"
#include "monitors/GPUMonitor.h"
#include "monitors/NetworkMonitor.h"
#include "monitors/ProcessMonitor.h"
#include "monitors/StorageMonitor.h"
#include "monitors/SystemMonitor.h"
#include "monitors/USBMonitor.h"
#include "monitors/WiFiMonitor.h"
#include "state/SidebarTab.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <optional>
#include <tuple>

class QQmlEngine;
class QJSEngine;

namespace corvane {

// The hub's monitors, each already parented to the hub. A new monitor is a field here, a
// line in all(), its property on AppState and its line in the factories.
struct HubMonitors {
    SystemMonitor *system = nullptr;
    NetworkMonitor *network = nullptr;
    BatteryMonitor *battery = nullptr;
    StorageMonitor *storage = nullptr;
    CameraMonitor *camera = nullptr;
    MicrophoneMonitor *mic = nullptr;
    USBMonitor *usb = nullptr;
    FPSMonitor *fps = nullptr;
    GPUMonitor *gpu = nullptr;
    WiFiMonitor *wifi = nullptr;
    ProcessMonitor *processes = nullptr;
    DisplayMonitor *displays = nullptr;
    SMCMonitor *smc = nullptr;

    // Every monitor, in the order they start.
    auto all() const
    {
        return std::tie(system, network, battery, storage, camera, mic, usb, fps, gpu, wifi, processes, displays, smc);
    }
};
// Makes every monitor with `hub` as parent, in the order they start.
using HubMonitorFactory = std::function<HubMonitors(QObject *hub)>;

class AppState : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString tab READ tabRaw WRITE setTabRaw NOTIFY tabChanged)
    Q_PROPERTY(QString pendingQuickTest READ pendingQuickTestRaw WRITE setPendingQuickTestRaw NOTIFY pendingQuickTestChanged)
    Q_PROPERTY(bool visualsPaused READ visualsPaused NOTIFY visualsPausedChanged)
    Q_PROPERTY(double sampleInterval READ sampleInterval WRITE setSampleInterval NOTIFY sampleIntervalChanged)
    Q_PROPERTY(corvane::SystemMonitor *system READ system CONSTANT)
    Q_PROPERTY(corvane::NetworkMonitor *network READ network CONSTANT)
    Q_PROPERTY(corvane::BatteryMonitor *battery READ battery CONSTANT)
    Q_PROPERTY(corvane::StorageMonitor *storage READ storage CONSTANT)
    Q_PROPERTY(corvane::CameraMonitor *camera READ camera CONSTANT)
    Q_PROPERTY(corvane::MicrophoneMonitor *mic READ mic CONSTANT)
    Q_PROPERTY(corvane::USBMonitor *usb READ usb CONSTANT)
    Q_PROPERTY(corvane::FPSMonitor *fps READ fps CONSTANT)
    Q_PROPERTY(corvane::GPUMonitor *gpu READ gpu CONSTANT)
    Q_PROPERTY(corvane::WiFiMonitor *wifi READ wifi CONSTANT)
    Q_PROPERTY(corvane::ProcessMonitor *processes READ processes CONSTANT)
    Q_PROPERTY(corvane::DisplayMonitor *displays READ displays CONSTANT)
    Q_PROPERTY(corvane::SMCMonitor *smc READ smc CONSTANT)
public:
    // Created by main() after the application object and destroyed before it.
    // No default argument: QML would build its own hub with a default constructor
    // instead of asking create() for this one.
    explicit AppState(QObject *parent);
    // The same hub over monitors the caller makes (tests build them on fake sources).
    AppState(const HubMonitorFactory &makeMonitors, QObject *parent);
    // The real monitors over this machine.
    static HubMonitors realMonitors(QObject *hub);
    ~AppState() override;
    static AppState *shared();
    static AppState *create(QQmlEngine *, QJSEngine *);

    SidebarTab tab() const { return m_tab; }
    void setTab(SidebarTab t);
    std::optional<QuickTestKind> pendingQuickTest() const { return m_pendingQuickTest; }
    void setPendingQuickTest(std::optional<QuickTestKind> k);

    QString tabRaw() const { return Tabs::rawValue(m_tab); }
    void setTabRaw(const QString &raw);
    QString pendingQuickTestRaw() const;
    void setPendingQuickTestRaw(const QString &raw);

    SystemMonitor *system() const { return m_monitors.system; }
    NetworkMonitor *network() const { return m_monitors.network; }
    BatteryMonitor *battery() const { return m_monitors.battery; }
    StorageMonitor *storage() const { return m_monitors.storage; }
    CameraMonitor *camera() const { return m_monitors.camera; }
    MicrophoneMonitor *mic() const { return m_monitors.mic; }
    USBMonitor *usb() const { return m_monitors.usb; }
    FPSMonitor *fps() const { return m_monitors.fps; }
    GPUMonitor *gpu() const { return m_monitors.gpu; }
    WiFiMonitor *wifi() const { return m_monitors.wifi; }
    ProcessMonitor *processes() const { return m_monitors.processes; }
    DisplayMonitor *displays() const { return m_monitors.displays; }
    SMCMonitor *smc() const { return m_monitors.smc; }

    // Surface flags: plain fields; every writer calls updateVisibility() right after.
    bool mainWindowVisible = true;
    bool barModeVisible = false;
    bool menuPopupVisible = false;
    bool visualsPaused() const { return m_visualsPaused; }

    // Seconds between samples of the live figures (CPU, memory, network, disk, GPU) and,
    // below one second, between the screens' updates: the settings' refresh rate, 0.5 to 5.
    static constexpr double kSampleIntervalMin = 0.5;
    static constexpr double kSampleIntervalMax = 5.0;
    double sampleInterval() const { return m_sampleInterval; }
    void setSampleInterval(double seconds);

    // Pauses the pausable samplers when no surface is visible, resumes them when one is; the
    // process lists are sampled at their full rate only while the activity tab is on screen.
    Q_INVOKABLE void updateVisibility();

    // QML helpers for the tab table.
    Q_INVOKABLE QStringList tabs() const;
    Q_INVOKABLE QString tabTitle(const QString &raw) const;
    Q_INVOKABLE QString tabSymbol(const QString &raw) const;
    Q_INVOKABLE QColor tabAccent(const QString &raw) const;

signals:
    void tabChanged();
    void pendingQuickTestChanged();
    void visualsPausedChanged();
    void sampleIntervalChanged();

private:
    void setPaused(bool paused);
    void updateProcessWatch();

    SidebarTab m_tab = SidebarTab::live;
    std::optional<QuickTestKind> m_pendingQuickTest;
    HubMonitors m_monitors;
    bool m_visualsPaused = false;
    double m_sampleInterval = 1.0;
};

} // namespace corvane
