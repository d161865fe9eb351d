#include "state/AppState.h"
#include "monitors/Publish.h"

#include <QJSEngine>

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {
AppState *s_shared = nullptr;
}

HubMonitors AppState::realMonitors(QObject *hub)
{
    // Creation order is the monitors' start order.
    HubMonitors m;
    m.system = new SystemMonitor(hub);
    m.network = new NetworkMonitor(hub);
    m.battery = new BatteryMonitor(hub);
    m.storage = new StorageMonitor(hub);
    m.camera = new CameraMonitor(hub);
    m.mic = new MicrophoneMonitor(hub);
    m.usb = new USBMonitor(hub);
    m.fps = new FPSMonitor(hub);
    m.gpu = new GPUMonitor(hub);
    m.wifi = new WiFiMonitor(hub);
    m.processes = new ProcessMonitor(hub);
    m.displays = new DisplayMonitor(hub);
    m.smc = new SMCMonitor(hub);
    return m;
}

AppState::AppState(QObject *parent) : AppState(&AppState::realMonitors, parent) {}

AppState::AppState(const HubMonitorFactory &makeMonitors, QObject *parent) : QObject(parent)
{
    const HubMonitors m = makeMonitors(this);
    Q_ASSERT(m.system && m.network && m.battery && m.storage && m.camera && m.mic && m.usb && m.fps && m.gpu
             && m.wifi && m.processes && m.displays && m.smc);
    m_system = m.system;
    m_network = m.network;
    m_battery = m.battery;
    m_storage = m.storage;
    m_camera = m.camera;
    m_mic = m.mic;
    m_usb = m.usb;
    m_fps = m.fps;
    m_gpu = m.gpu;
    m_wifi = m.wifi;
    m_processes = m.processes;
    m_displays = m.displays;
    m_smc = m.smc;
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

void AppState::setSampleInterval(double seconds)
{
    const double v = std::isnan(seconds) ? 1.0 : std::clamp(seconds, kSampleIntervalMin, kSampleIntervalMax);
    if (v == m_sampleInterval)
        return;
    m_sampleInterval = v;
    m_system->setInterval(v);
    m_network->setInterval(v);
    m_storage->setInterval(v);
    m_gpu->setInterval(v);
    if (PublicationBatch *batch = PublicationBatch::current())
        batch->setPeriod(v);
    emit sampleIntervalChanged();
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
    // Repaints to gather again: publications wait for the second's batch, and the quick
    // readers go back to their thread so the main thread wakes once, for the batch.
    if (PublicationBatch *batch = PublicationBatch::current())
        batch->setImmediate(false);
    m_system->tickOnMainThread(false);
    m_mic->tickOnMainThread(false);
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
    // Nothing to repaint: publications apply as they come, and the quick procfs reads of
    // the system sampler and the microphone poll run on the main thread, which then wakes
    // once a second in all.
    if (PublicationBatch *batch = PublicationBatch::current())
        batch->setImmediate(true);
    m_system->tickOnMainThread(true);
    m_mic->tickOnMainThread(true);
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
