#include "state/AppState.h"

#include <QJSEngine>

namespace corvane {

namespace {
AppState *s_shared = nullptr;
}

AppState::AppState(QObject *parent) : QObject(parent)
{
    // Creation order is the monitors' start order.
    m_system = new SystemMonitor(this);
    m_network = new NetworkMonitor(this);
    m_battery = new BatteryMonitor(this);
    m_storage = new StorageMonitor(this);
    m_camera = new CameraMonitor(this);
    m_mic = new MicrophoneMonitor(this);
    m_usb = new USBMonitor(this);
    m_fps = new FPSMonitor(this);
    m_gpu = new GPUMonitor(this);
    m_wifi = new WiFiMonitor(this);
    m_processes = new ProcessMonitor(this);
    m_displays = new DisplayMonitor(this);
    m_smc = new SMCMonitor(this);
    mainWindowVisible = true;
    barModeVisible = false;
    menuPopupVisible = false;
    if (!s_shared)
        s_shared = this;
}

AppState::~AppState()
{
    if (s_shared == this)
        s_shared = nullptr;
}

AppState *AppState::shared() { return s_shared; }

AppState *AppState::create(QQmlEngine *, QJSEngine *)
{
    Q_ASSERT(s_shared);
    QJSEngine::setObjectOwnership(s_shared, QJSEngine::CppOwnership);
    return s_shared;
}

void AppState::setTab(SidebarTab t)
{
    m_tab = t;
    emit tabChanged();
}

void AppState::setTabRaw(const QString &raw)
{
    if (const auto t = Tabs::fromRawValue(raw))
        setTab(*t);
}

void AppState::setPendingQuickTest(std::optional<QuickTestKind> k)
{
    m_pendingQuickTest = k;
    emit pendingQuickTestChanged();
}

QString AppState::pendingQuickTestRaw() const
{
    return m_pendingQuickTest ? QuickTests::rawValue(*m_pendingQuickTest) : QString();
}

void AppState::setPendingQuickTestRaw(const QString &raw)
{
    setPendingQuickTest(QuickTests::fromRawValue(raw));
}

void AppState::updateVisibility()
{
    const bool anyVisible = mainWindowVisible || barModeVisible || menuPopupVisible;
    if (anyVisible) {
        if (!m_visualsPaused)
            return;
        m_visualsPaused = false;
        emit visualsPausedChanged();
        resume();
    } else {
        if (m_visualsPaused)
            return;
        m_visualsPaused = true;
        emit visualsPausedChanged();
        pause();
    }
}

void AppState::resume()
{
    m_network->start();
    m_storage->start();
    m_gpu->start();
    m_fps->start();
    m_wifi->start();
    m_usb->start();
    m_processes->start();
    if (m_smc->reducedCadence()) {
        m_smc->setReducedCadence(false);
        m_smc->startTimer();
    }
}

void AppState::pause()
{
    m_network->stop();
    m_storage->stop();
    m_gpu->stop();
    m_fps->stop();
    m_wifi->stop();
    m_usb->stop();
    m_processes->stop();
    if (!m_smc->reducedCadence()) {
        m_smc->setReducedCadence(true);
        m_smc->startTimer();
    }
}

QStringList AppState::tabs() const
{
    QStringList out;
    for (SidebarTab t : Tabs::allCases())
        out << Tabs::rawValue(t);
    return out;
}

QString AppState::tabTitle(const QString &raw) const
{
    const auto t = Tabs::fromRawValue(raw);
    return t ? Tabs::title(*t) : QString();
}

QString AppState::tabSymbol(const QString &raw) const
{
    const auto t = Tabs::fromRawValue(raw);
    return t ? Tabs::systemImage(*t) : QString();
}

QColor AppState::tabAccent(const QString &raw) const
{
    const auto t = Tabs::fromRawValue(raw);
    return t ? Tabs::accent(*t) : QColor();
}

} // namespace corvane
