// Renders the hub and each test sheet before, during and after a run to PNG files, for a
// person to look at. Runs only when CORVANE_SHOTS names a folder.
#include "state/AppState.h"
#include "support/QmlTestUtil.h"

#include <QDir>
#include <QTemporaryDir>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvane;

namespace {

QQuickItem *findNamed(QQuickItem *item, const QString &name)
{
    if (item->objectName() == name && item->isVisible())
        return item;
    for (QQuickItem *c : item->childItems())
        if (QQuickItem *f = findNamed(c, name))
            return f;
    return nullptr;
}

TEST(CheckScreens, Shots)
{
    const QString dir = qEnvironmentVariable("CORVANE_SHOTS");
    if (dir.isEmpty())
        GTEST_SKIP() << "set CORVANE_SHOTS to a folder";
    QDir().mkpath(dir);
    // What a machine without a GPU shows: the software scene graph, the load on Mesa.
    QQuickWindow::setSceneGraphBackend(QStringLiteral("software"));
    AppState hub(nullptr);
    for (const QSize size : {QSize(1280, 800), QSize(1600, 1000)}) {
        test::QmlHarness h;
        QQuickWindow window;
        window.setColor(QColor(8, 10, 18));
        window.resize(size);
        auto root = h.createFile(QStringLiteral("qrc:/Corvane/TestsView.qml"));
        auto *view = qobject_cast<QQuickItem *>(root.get());
        ASSERT_TRUE(view) << h.warnings().join('\n').toStdString();
        view->setParentItem(window.contentItem());
        view->setSize(size);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        const QString tag = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        const auto shot = [&](const QString &name) {
            QTest::qWait(400);
            window.grabWindow().save(dir + "/" + name + "_" + tag + ".png");
        };
        shot(QStringLiteral("hub"));
        for (const char *kind : {"cpu", "gpu", "ram"}) {
            view->setProperty("active", QString::fromLatin1(kind));
            QTest::qWait(100);
            shot(QStringLiteral("%1_1_start").arg(kind));
            QTest::qWait(kind == QByteArray("gpu") ? 4000 : 2500);
            shot(QStringLiteral("%1_2_running").arg(kind));
            if (QQuickItem *run = findNamed(window.contentItem(), QStringLiteral("runButton"))) {
                const QPoint at = run->mapToScene(QPointF(run->width() / 2, run->height() / 2)).toPoint();
                QTest::mouseClick(&window, Qt::LeftButton, {}, at);
                shot(QStringLiteral("%1_3_result").arg(kind));
            }
            view->setProperty("active", QString());
            QTest::qWait(100);
        }
        const auto click = [&](const QString &name) {
            QQuickItem *b = findNamed(window.contentItem(), name);
            ASSERT_TRUE(b) << name.toStdString();
            QTest::mouseClick(&window, Qt::LeftButton, {}, b->mapToScene(QPointF(b->width() / 2, b->height() / 2)).toPoint());
        };
        // Speakers without a sound server: the error line under the controls.
        qputenv("PULSE_SERVER", "unix:/nonexistent/corvane/native");
        view->setProperty("active", QStringLiteral("speakers"));
        QTest::qWait(100);
        shot(QStringLiteral("speakers_1_start"));
        click(QStringLiteral("playButton"));
        QTRY_VERIFY_WITH_TIMEOUT(findNamed(window.contentItem(), QStringLiteral("errorText")), 10000);
        shot(QStringLiteral("speakers_2_error"));
        view->setProperty("active", QString());
        QTest::qWait(100);
        // The disk test: its run on the system volume stopped at once and started again on a
        // small file in a folder of its own.
        QTemporaryDir disk(QDir::currentPath() + "/shots-XXXXXX");
        view->setProperty("active", QStringLiteral("ssd"));
        QQuickItem *ssd = findNamed(window.contentItem(), QStringLiteral("startStopButton"));
        ASSERT_TRUE(ssd);
        click(QStringLiteral("startStopButton"));
        while (ssd && !ssd->property("totalMB").isValid())
            ssd = ssd->parentItem();
        ASSERT_TRUE(ssd);
        ssd->setProperty("totalMB", 1024);
        ssd->setProperty("selectedVolumePath", disk.path());
        click(QStringLiteral("startStopButton"));
        shot(QStringLiteral("ssd_2_running")); // a fast disk ends a small run before the shot
        click(QStringLiteral("startStopButton"));
        ssd->setProperty("totalMB", 256);
        click(QStringLiteral("startStopButton"));
        QTRY_VERIFY_WITH_TIMEOUT(findNamed(window.contentItem(), QStringLiteral("reportCard")), 120000);
        shot(QStringLiteral("ssd_3_result"));
        view->setProperty("active", QString());
        QTest::qWait(100);
        EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
    }
    QQuickWindow::setSceneGraphBackend(QString());
}

} // namespace
