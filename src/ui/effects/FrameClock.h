#pragma once
// A monotonic animation clock that ticks at a capped frame rate while running.
// `time` counts seconds since the clock was created, so a recreated view starts at 0.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

namespace corvane::effects {

// Whole milliseconds between ticks for a frame-rate cap; rounded up so the rate never
// exceeds the cap. Zero when the rate is not positive (no ticks).
int frameIntervalMs(int fps);

class FrameClock : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int fps READ fps WRITE setFps NOTIFY fpsChanged)
    Q_PROPERTY(bool running READ running WRITE setRunning NOTIFY runningChanged)
    Q_PROPERTY(double time READ time NOTIFY ticked)
    Q_PROPERTY(int frames READ frames NOTIFY ticked)
public:
    explicit FrameClock(QObject *parent = nullptr);

    int fps() const { return m_fps; }
    void setFps(int fps);
    bool running() const { return m_running; }
    void setRunning(bool on);
    double time() const { return m_time; }
    int frames() const { return m_frames; }

signals:
    void fpsChanged();
    void runningChanged();
    void ticked();

private:
    void apply();
    void tick();

    QElapsedTimer m_clock;
    QTimer m_timer;
    int m_fps = 30;
    bool m_running = false;
    double m_time = 0;
    int m_frames = 0;
};

} // namespace corvane::effects
