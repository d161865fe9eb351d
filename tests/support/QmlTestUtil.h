#pragma once
// Loads QML snippets or module files and collects every warning the engine emits.
#include "state/Palette.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QStringList>

#include <memory>

class QQuickItem;
class QQuickWindow;

namespace corvane::test {

// The first item named `name` in the visual tree under `root` (Repeater and list delegates
// included, which are not QObject children of their view); null when there is none.
QQuickItem *findItem(QQuickItem *root, const QString &name);

// Asks a shown `window` for `frames` frames and waits until they are drawn: whatever changed
// before the call has been through polish, sync and render (and warnings from there are in).
// False when they did not come within `timeoutMs`.
[[nodiscard]] bool waitForFrames(QQuickWindow &window, int frames = 1, int timeoutMs = 10000);

// The frames `window` swaps unasked while `ticks` ticks of a 50 ms timer on this thread go by:
// for what must not happen, a quiet period counted in ticks.
int framesOverTicks(QQuickWindow &window, int ticks);

// Records every shown item under `window` that moves or resizes while a frame is being prepared
// (from the frame request until the scene is synchronised, i.e. during polish): such a move
// makes the render loop draw another frame. Items are followed as they are when it is made.
class MovesWhilePreparing : public QObject {
public:
    explicit MovesWhilePreparing(QQuickWindow &window);
    // One line per move: the item and its ancestors, by class and object name.
    QStringList moved() const { return m_moved; }

protected:
    bool eventFilter(QObject *, QEvent *e) override;

private:
    void follow(QQuickItem *it);
    QQuickWindow &m_window;
    bool m_preparing = false;
    QStringList m_moved;
};

class QmlHarness {
public:
    QmlHarness();
    ~QmlHarness();
    QQmlEngine &engine() { return m_engine; }
    // Creates an object from QML source text; null (with the errors in warnings()) on failure.
    std::unique_ptr<QObject> create(const QByteArray &source, const QVariantMap &initial = {});
    // Creates the component of a module file, e.g. "qrc:/Corvane/Sparkline.qml".
    std::unique_ptr<QObject> createFile(const QString &url, const QVariantMap &initial = {});
    QStringList warnings() const { return m_warnings; }

private:
    std::unique_ptr<QObject> finish(QQmlComponent &c, const QVariantMap &initial);
    QQmlEngine m_engine;
    QStringList m_warnings;
};

} // namespace corvane::test
