#include "platform/DisplayLink.h"

#include <QPointer>
#include <QQuickWindow>
#include <QScreen>

#include <cmath>
#include <mutex>

namespace corvane {
namespace {

class WindowDisplayLink final : public DisplayLink {
public:
    explicit WindowDisplayLink(QQuickWindow *w) : m_window(w) {}
    ~WindowDisplayLink() override { stop(); }

    std::optional<double> nominalRefreshHz() const override
    {
        const QScreen *s = m_window ? m_window->screen() : nullptr;
        if (!s)
            return std::nullopt;
        const double hz = s->refreshRate();
        if (!std::isfinite(hz) || hz <= 0)
            return std::nullopt;
        return hz;
    }

    void start(Callback onFrame) override
    {
        stop();
        if (!m_window)
            return;
        m_gate = std::make_shared<Gate>();
        m_gate->callback = std::move(onFrame);
        // frameSwapped comes from the render thread; the gate lets stop() wait out a callback
        // in progress and keeps the state alive for a late emission.
        std::shared_ptr<Gate> gate = m_gate;
        m_connection = QObject::connect(
            m_window, &QQuickWindow::frameSwapped, m_window,
            [gate] {
                std::lock_guard lock(gate->mutex);
                if (gate->callback)
                    gate->callback();
            },
            Qt::DirectConnection);
    }

    void stop() override
    {
        QObject::disconnect(m_connection);
        if (m_gate) {
            std::lock_guard lock(m_gate->mutex);
            m_gate->callback = nullptr;
        }
        m_gate.reset();
    }

private:
    struct Gate {
        std::mutex mutex;
        Callback callback;
    };
    QPointer<QQuickWindow> m_window;
    QMetaObject::Connection m_connection;
    std::shared_ptr<Gate> m_gate;
};

} // namespace

std::unique_ptr<DisplayLink> makeWindowDisplayLink(QQuickWindow *window)
{
    if (!window)
        return nullptr;
    return std::make_unique<WindowDisplayLink>(window);
}

} // namespace corvane
