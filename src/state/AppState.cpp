#include "state/AppState.h"
#include "monitors/Publish.h"

#include <QJSEngine>

#include <algorithm>
#include <cmath>
#include <type_traits>

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
    m_monitors = makeMonitors(this);
    [[maybe_unused]] const bool complete = std::apply([](const auto *...m) { return (m && ...); }, m_monitors.all());
    Q_ASSERT(complete);
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
    updateProcessWatch();
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
    m_monitors.system->setInterval(v);
    m_monitors.network->setInterval(v);
    m_monitors.storage->setInterval(v);
    m_monitors.gpu->setInterval(v);
    if (PublicationBatch *batch = PublicationBatch::current())
        batch->setPeriod(v);
    emit sampleIntervalChanged();
}

void AppState::updateVisibility()
{
    const bool paused = !(mainWindowVisible || barModeVisible || menuPopupVisible);
    if (paused != m_visualsPaused) {
        m_visualsPaused = paused;
        emit visualsPausedChanged();
        setPaused(paused);
    }
    updateProcessWatch();
}

void AppState::updateProcessWatch()
{
    // Only the activity tab shows the process lists; everywhere else they are kept warm.
    m_monitors.processes->setWatched(!m_visualsPaused && mainWindowVisible && m_tab == SidebarTab::activity);
}

void AppState::setPaused(bool paused)
{
    // Shown again, repaints gather again: publications wait for the second's batch. Hidden,
    // nothing is repainted: publications apply as they come.
    PublicationBatch *batch = PublicationBatch::current();
    if (batch && !paused)
        batch->setImmediate(false);
    std::apply(
        [paused](auto *...m) {
            const auto rest = [paused](auto *monitor) {
                if constexpr (std::is_base_of_v<Pausable, std::remove_pointer_t<decltype(monitor)>>)
                    monitor->setPaused(paused);
            };
            (rest(m), ...);
        },
        m_monitors.all());
    if (batch && paused)
        batch->setImmediate(true);
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
