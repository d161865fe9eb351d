// The strip as a machine without a GPU draws it under X: the software scene graph, the
// desktop's font settings, the row scaled to the screen's width. With any one pill switched
// off, every text is drawn whole and the sparklines' peaks are not cut flat.
#include "fakes/FakeHub.h"
#include "monitors/NetworkMonitor.h"
#include "monitors/StorageMonitor.h"
#include "monitors/SystemMonitor.h"
#include "state/AppState.h"
#include "state/BarModeSettings.h"
#include "state/ThemeManager.h"
#include "support/QmlTestUtil.h"

#include <QPainter>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

#include <optional>

using namespace corvane;

namespace {

struct Rows {
    int top = 0;
    int bottom = 0;
};

// The rows where two pictures differ (by more than `threshold` in a channel), within `area`.
std::optional<Rows> changedRows(const QImage &a, const QImage &b, const QRect &area, int threshold)
{
    std::optional<Rows> out;
    const QRect r = area.intersected(a.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > threshold || std::abs(qGreen(p) - qGreen(q)) > threshold
                || std::abs(qBlue(p) - qBlue(q)) > threshold || std::abs(qAlpha(p) - qAlpha(q)) > threshold) {
                out = out ? Rows{out->top, y} : Rows{y, y};
                break;
            }
        }
    return out;
}

class StripInk : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override
    {
        QQuickWindow::setSceneGraphBackend(QStringLiteral("software"));
        QSettings().clear();
        ThemeManager::shared()->setThemeRaw("aurora");
        hub = std::make_unique<test::FakeHub>();
        h = std::make_unique<test::QmlHarness>();
        window = std::make_unique<QQuickWindow>();
        window->setColor(QColor(8, 10, 18));
        view = h->createFile("qrc:/Corvane/BarModeView.qml");
        ASSERT_TRUE(view);
        root = qobject_cast<QQuickItem *>(view.get());
        window->resize(1280, 140);
        root->setParentItem(window->contentItem());
        root->setSize(QSizeF(1280, 140));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_EQ(window->rendererInterface()->graphicsApi(), QSGRendererInterface::Software);
    }
    void TearDown() override
    {
        for (const auto &p : BarModeSettings::allPills())
            if (!BarModeSettings::shared()->isVisible(p))
                BarModeSettings::shared()->toggle(p);
        view.reset();
        window.reset();
        h.reset();
        hub.reset();
        QQuickWindow::setSceneGraphBackend(QString());
    }
    AppState *state() { return h->engine().singletonInstance<AppState *>(qmlTypeId("Corvane", 1, 0, "AppState")); }
    QImage grab() { return window->grabWindow(); }
    QRectF sceneRect(QQuickItem *it) const { return it->mapRectToScene(QRectF(0, 0, it->width(), it->height())); }

    // Traffic that rises and falls, so the sparklines reach their frames' tops and bottoms.
    void feed()
    {
        for (int i = 0; i < 30; ++i) {
            NetworkSnapshot net;
            net.rates = NetworkSnapshot::Rates{i % 3 == 0 ? 4'000'000u : 50'000u, 1'000};
            state()->network()->publish(net);
            StorageSnapshot disk;
            disk.rates = StorageSnapshot::Rates{i % 4 == 0 ? 90'000'000u : 2'000'000u, 10'000};
            disk.totalBytes = 1ull << 40;
            disk.freeBytes = 1ull << 38;
            state()->storage()->publish(disk);
        }
        SystemMonitor::Snapshot sys;
        sys.cpu = 0.37;
        sys.usedBytes = 5ull << 30;
        sys.totalBytes = 16ull << 30;
        sys.uptime = 4 * 3600 + 7 * 60;
        state()->system()->publish(sys);
    }

    std::unique_ptr<test::FakeHub> hub;
    std::unique_ptr<test::QmlHarness> h;
    std::unique_ptr<QQuickWindow> window;
    std::unique_ptr<QObject> view;
    QQuickItem *root = nullptr;
};

} // namespace

TEST_P(StripInk, EveryTextWholeAndNoSparklineCutFlat)
{
    const QString off = GetParam();
    feed();
    if (!off.isEmpty())
        BarModeSettings::shared()->toggleRaw(off);
    const QImage shown = grab();
    if (const QString dir = qEnvironmentVariable("CORVANE_SHOTS"); !dir.isEmpty())
        shown.save(QStringLiteral("%1/strip-software-%2-off.png").arg(dir, off.isEmpty() ? QStringLiteral("none") : off));

    int texts = 0;
    for (QQuickItem *it : root->findChildren<QQuickItem *>()) {
        if (!it->isVisible() || it->opacity() == 0 || it->width() <= 0)
            continue;
        const bool text = it->inherits("QQuickText") && !it->property("text").toString().isEmpty();
        const bool spark = QByteArray(it->metaObject()->className()).endsWith("MiniSpark");
        if (!text && !spark)
            continue;
        // The item's own ink: what changes when it alone is not drawn.
        it->setOpacity(0);
        const QImage without = grab();
        it->setOpacity(1);
        const QRect near = sceneRect(it).toAlignedRect().adjusted(-8, -8, 8, 8);
        const auto ink = changedRows(shown, without, near, 6);
        const std::string what = (it->property("text").toString() + " " + it->objectName()).toStdString();
        ASSERT_TRUE(ink) << what << " draws nothing";
        if (spark) {
            // The peaks lie on the plot's top edge: their stroke reaches above it.
            const double plotTop = sceneRect(it).top() + it->property("bleed").toDouble() * root->property("rowScale").toDouble();
            EXPECT_LT(ink->top, int(std::floor(plotTop))) << "a peak is cut flat";
            continue;
        }
        // The same text drawn the same way with nothing to clip it.
        QImage free(shown.size(), QImage::Format_ARGB32_Premultiplied);
        free.fill(Qt::transparent);
        {
            QPainter p(&free);
            p.setTransform(it->itemTransform(nullptr, nullptr));
            p.setFont(it->property("font").value<QFont>());
            p.setPen(Qt::white);
            p.drawText(QPointF(0, it->baselineOffset()), it->property("text").toString());
        }
        QImage blank(free.size(), free.format());
        blank.fill(Qt::transparent);
        const auto whole = changedRows(free, blank, near, 96); // its solid rows
        ASSERT_TRUE(whole) << what;
        EXPECT_LE(ink->top, whole->top) << what << " has its top cut";
        EXPECT_GE(ink->bottom, whole->bottom) << what << " has its bottom cut";
        ++texts;
    }
    EXPECT_GT(texts, 20);
    EXPECT_TRUE(h->warnings().isEmpty()) << h->warnings().join('\n').toStdString();
}
// Every pill on, then each switched off in turn.
std::vector<QString> pillsOffInTurn()
{
    std::vector<QString> out{QString()};
    for (const auto &p : BarModeSettings::allPills())
        out.push_back(BarModeSettings::rawValue(p));
    return out;
}
INSTANTIATE_TEST_SUITE_P(EachPillOff, StripInk, ::testing::ValuesIn(pillsOffInTurn()),
                         [](const auto &i) { return i.param.isEmpty() ? std::string("none") : i.param.toStdString(); });
