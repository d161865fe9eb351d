#include "support/QmlTestUtil.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QTimer>

#include <atomic>

#include <QQmlContext>

namespace corvane::test {

bool waitForFrames(QQuickWindow &window, int frames, int timeoutMs)
{
    // The threaded render loop swaps on its own thread.
    auto swapped = std::make_shared<std::atomic<int>>(0);
    const auto c = QObject::connect(&window, &QQuickWindow::frameSwapped, &window, [swapped] { ++*swapped; },
                                    Qt::DirectConnection);
    const bool drawn = QTest::qWaitFor([&] {
        if (swapped->load() >= frames)
            return true;
        window.update();
        return false;
    }, timeoutMs);
    QObject::disconnect(c);
    return drawn;
}

MovesWhilePreparing::MovesWhilePreparing(QQuickWindow &window) : m_window(window)
{
    window.installEventFilter(this);
    QObject::connect(&window, &QQuickWindow::beforeSynchronizing, this, [this] { m_preparing = false; },
                     Qt::DirectConnection);
    follow(window.contentItem());
}

bool MovesWhilePreparing::eventFilter(QObject *, QEvent *e)
{
    if (e->type() == QEvent::UpdateRequest)
        m_preparing = true;
    return false;
}

void MovesWhilePreparing::follow(QQuickItem *it)
{
    for (auto signal : {&QQuickItem::xChanged, &QQuickItem::yChanged, &QQuickItem::widthChanged, &QQuickItem::heightChanged})
        QObject::connect(it, signal, this, [this, it] {
            if (m_preparing && it->isVisible()) {
                QString path;
                for (QQuickItem *p = it; p && path.size() < 200; p = p->parentItem())
                    path += QString::fromLatin1(p->metaObject()->className()) + ':' + p->objectName() + " < ";
                m_moved << path;
            }
        });
    for (QQuickItem *c : it->childItems())
        follow(c);
}

int framesOverTicks(QQuickWindow &window, int ticks)
{
    auto swapped = std::make_shared<std::atomic<int>>(0);
    const auto c = QObject::connect(&window, &QQuickWindow::frameSwapped, &window, [swapped] { ++*swapped; },
                                    Qt::DirectConnection);
    int ticked = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &timer, [&ticked] { ++ticked; });
    timer.start(50);
    (void)QTest::qWaitFor([&] { return ticked >= ticks; }, 600000);
    QObject::disconnect(c);
    return swapped->load();
}

QmlHarness::QmlHarness()
{
    m_engine.setOutputWarningsToStandardError(false);
    // The module's qmldir lives at qrc:/Corvane; snippets find its QML types through this.
    m_engine.addImportPath(QStringLiteral("qrc:/"));
    QObject::connect(&m_engine, &QQmlEngine::warnings, [this](const QList<QQmlError> &ws) {
        for (const auto &w : ws)
            m_warnings << w.toString();
    });
}

QmlHarness::~QmlHarness() = default;

std::unique_ptr<QObject> QmlHarness::finish(QQmlComponent &c, const QVariantMap &initial)
{
    if (c.isError()) {
        for (const auto &e : c.errors())
            m_warnings << e.toString();
        return nullptr;
    }
    std::unique_ptr<QObject> obj(c.createWithInitialProperties(initial));
    if (!obj)
        for (const auto &e : c.errors())
            m_warnings << e.toString();
    return obj;
}

std::unique_ptr<QObject> QmlHarness::create(const QByteArray &source, const QVariantMap &initial)
{
    QQmlComponent c(&m_engine);
    c.setData(source, QUrl(QStringLiteral("qrc:/test/Snippet.qml")));
    return finish(c, initial);
}

std::unique_ptr<QObject> QmlHarness::createFile(const QString &url, const QVariantMap &initial)
{
    QQmlComponent c(&m_engine, QUrl(url));
    return finish(c, initial);
}

QQuickItem *findItem(QQuickItem *root, const QString &name)
{
    if (!root)
        return nullptr;
    for (QQuickItem *c : root->childItems()) {
        if (c->objectName() == name)
            return c;
        if (QQuickItem *hit = findItem(c, name))
            return hit;
    }
    return nullptr;
}

} // namespace corvane::test
