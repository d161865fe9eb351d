#pragma once
// Frames per second counted on a display link (the display's vertical refresh), published
// once a second, with the followed display's nominal refresh rate.
#include "monitors/Pausable.h"
#include "monitors/SamplerScheduler.h"
#include "platform/DisplayLink.h"

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include <QQuickWindow>

namespace corvane {

// Counts the link's frames (from any thread) and turns them into a rate once a second.
class FrameCounter {
public:
    explicit FrameCounter(const Clock &clock) : m_clock(clock), m_lastSampleNs(clock.monotonicNs()) {}
    // What the link calls on each frame; safe on any thread and after the counter is gone.
    std::function<void()> frameCallback() const;
    // Starts the next interval now (frames counted so far are kept).
    void restartInterval() { m_lastSampleNs = m_clock.monotonicNs(); }
    // Frames a counting link reports in one go.
    void add(qint64 frames);
    // The frames since the last call over the time since then; nullopt when no time elapsed.
    std::optional<double> sample();

private:
    // Shared with the link's thread; count is touched only under the lock.
    struct FrameTally {
        std::mutex lock;
        qint64 count = 0;
    };
    const Clock &m_clock;
    uint64_t m_lastSampleNs;
    std::shared_ptr<FrameTally> m_tally = std::make_shared<FrameTally>();
};

class FPSMonitor : public QObject, public Pausable {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState or a screen")
    Q_PROPERTY(double currentFPS READ currentFPS NOTIFY currentFPSChanged)
    Q_PROPERTY(double refreshNominalHz READ refreshNominalHz NOTIFY refreshNominalHzChanged)
public:
    using LinkFactory = std::function<std::unique_ptr<DisplayLink>()>;

    // Follows the display that shows the attached window, or else the application's first
    // visible Qt Quick window (the strip in Bar Mode, where the main window is hidden), and
    // the window as it moves to another display.
    explicit FPSMonitor(QObject *parent = nullptr);
    FPSMonitor(LinkFactory linkFactory, const Clock &clock, bool autoStart, QObject *parent = nullptr);
    ~FPSMonitor() override;

    // Starts counting when a link can be made; otherwise stays stopped with its figures.
    void start();
    // Stops the link and the publication; the frames counted so far are kept.
    void stop();
    // Paused: stopped.
    void setPaused(bool paused) override { paused ? stop() : start(); }
    bool isRunning() const { return m_link != nullptr; }

    // The window whose frames are counted. While the monitor is meant to run (constructed
    // or start()ed and not stop()ped), this (re)starts it on that window.
    Q_INVOKABLE void attachWindow(QQuickWindow *window);

    double currentFPS() const { return m_currentFPS; }
    double refreshNominalHz() const { return m_refreshNominalHz; }

    // Turns the frames counted since the last publication into a rate and applies it (main thread).
    void publish();

    SamplerScheduler *scheduler() const { return m_scheduler.get(); }

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void currentFPSChanged();
    void refreshNominalHzChanged();

private:
    // The attached window while shown, else the first shown Qt Quick window, else the
    // attached one.
    QQuickWindow *followedWindow() const;
    void startLink();
    // Makes and starts a link; false when none can be made.
    bool openLink();
    void stopLink();
    // Watches the followed window for a move to another display.
    void watchOutput();
    // The followed window is now on another display: a link of that display's.
    void followNewOutput();

    LinkFactory m_linkFactory;
    double m_currentFPS = 0;
    double m_refreshNominalHz = 0;
    std::unique_ptr<DisplayLink> m_link;
    FrameCounter m_frames;
    // The counting link's count at the last reading.
    std::optional<uint64_t> m_lastRefreshCount;
    bool m_wanted = false;
    QPointer<QQuickWindow> m_window;
    // The followed window's move to another display, watched while the monitor is wanted.
    QMetaObject::Connection m_outputWatch;
    std::unique_ptr<SamplerScheduler> m_scheduler;
};

} // namespace corvane
