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

class QQmlEngine;
class QJSEngine;

namespace corvane {

// The hub's monitors, each already parented to the hub.
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

    SystemMonitor *system() const { return m_system; }
    NetworkMonitor *network() const { return m_network; }
    BatteryMonitor *battery() const { return m_battery; }
    StorageMonitor *storage() const { return m_storage; }
    CameraMonitor *camera() const { return m_camera; }
    MicrophoneMonitor *mic() const { return m_mic; }
    USBMonitor *usb() const { return m_usb; }
    FPSMonitor *fps() const { return m_fps; }
    GPUMonitor *gpu() const { return m_gpu; }
    WiFiMonitor *wifi() const { return m_wifi; }
    ProcessMonitor *processes() const { return m_processes; }
    DisplayMonitor *displays() const { return m_displays; }
    SMCMonitor *smc() const { return m_smc; }

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

    // Pauses the pausable samplers when no surface is visible, resumes them when one is.
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
    void resume();
    void pause();

    SidebarTab m_tab = SidebarTab::live;
    std::optional<QuickTestKind> m_pendingQuickTest;
    SystemMonitor *m_system = nullptr;
    NetworkMonitor *m_network = nullptr;
    BatteryMonitor *m_battery = nullptr;
    StorageMonitor *m_storage = nullptr;
    CameraMonitor *m_camera = nullptr;
    MicrophoneMonitor *m_mic = nullptr;
    USBMonitor *m_usb = nullptr;
    FPSMonitor *m_fps = nullptr;
    GPUMonitor *m_gpu = nullptr;
    WiFiMonitor *m_wifi = nullptr;
    ProcessMonitor *m_processes = nullptr;
    DisplayMonitor *m_displays = nullptr;
    SMCMonitor *m_smc = nullptr;
    bool m_visualsPaused = false;
    double m_sampleInterval = 1.0;
};

} // namespace corvane
