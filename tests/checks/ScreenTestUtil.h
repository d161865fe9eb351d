#pragma once
// Hosting a test screen in a window and acting on it with real pointer and key events.
#include "support/QmlTestUtil.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

namespace corvane::test {

inline void collectNamed(QQuickItem *item, const QString &name, QList<QQuickItem *> &out)
{
    if (item->objectName() == name)
        out << item;
    for (QQuickItem *child : item->childItems())
        collectNamed(child, name, out);
}

inline QList<QQuickItem *> allNamed(QObject *root, const QString &name)
{
    QList<QQuickItem *> out;
    if (auto *item = qobject_cast<QQuickItem *>(root))
        collectNamed(item, name, out);
    return out;
}

inline QQuickItem *named(QObject *root, const QString &name)
{
    const auto all = allNamed(root, name);
    return all.isEmpty() ? nullptr : all.first();
}

inline QString textOf(QObject *root, const QString &name)
{
    QQuickItem *i = named(root, name);
    return i ? i->property("text").toString() : QStringLiteral("<missing>");
}

struct ScreenHost {
    QmlHarness h;
    QQuickWindow window;
    std::unique_ptr<QObject> root;
    bool load(const QString &file, const QVariantMap &initial = {}, QSize size = {})
    {
        root = h.createFile(QStringLiteral("qrc:/Corvane/%1.qml").arg(file), initial);
        auto *item = qobject_cast<QQuickItem *>(root.get());
        if (!item)
            return false;
        if (!size.isValid())
            size = QSize(int(item->implicitWidth()), int(item->implicitHeight()));
        window.resize(size);
        item->setParentItem(window.contentItem());
        item->setSize(size);
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
    // A click at the middle of a visible item, as a pointer gives it.
    void click(QQuickItem *item)
    {
        ASSERT_TRUE(item);
        ASSERT_TRUE(item->isVisible());
        const QPointF c = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, c.toPoint());
    }
    void click(const QString &name) { click(named(root.get(), name)); }
    void clickAt(QPointF scenePoint) { QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, scenePoint.toPoint()); }
    void key(Qt::Key k) { QTest::keyClick(&window, k); }
    QString text(const QString &name) { return textOf(root.get(), name); }
};

} // namespace corvane::test
