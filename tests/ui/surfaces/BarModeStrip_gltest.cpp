// The strip as a machine without a GPU draws it under X (the software scene graph, the
// desktop's font settings, the row scaled to the screen): with every pill on, and with each
// switched off in turn, every text is whole, no sparkline peak is cut flat, and the pills left
// on keep their size.
#include "fakes/FakeHub.h"
#include "monitors/NetworkMonitor.h"
#include "monitors/StorageMonitor.h"
#include "state/BarModeSettings.h"
#include "state/ThemeManager.h"
#include "support/QmlTestUtil.h"

#include <QPainter>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

#include <map>
#include <optional>

using namespace corvane;

namespace {

// First and last row, within `area`, where two pictures differ by more than `threshold`.
std::optional<std::pair<int, int>> changedRows(const QImage &a, const QImage &b, const QRect &area, int threshold)
{
    std::optional<std::pair<int, int>> out;
    const QRect r = area.intersected(a.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q)),
                          std::abs(qAlpha(p) - qAlpha(q))}) > threshold) {
                out = std::pair{out ? out->first : y, y};
                break;
            }
        }
    return out;
}

std::vector<QString> pillsOffInTurn()
{
    std::vector<QString> out{QString()};
    for (const auto &p : BarModeSettings::allPills())
        out.push_back(BarModeSettings::rawValue(p));
    return out;
}

} // namespace

class StripInk : public ::testing::TestWithParam<QString> {};

TEST_P(StripInk, EveryTextWholeAndNoSparklineCutFlat)
{
    QQuickWindow::setSceneGraphBackend(QStringLiteral("software"));
    QSettings().clear();
    ThemeManager::shared()->setThemeRaw("aurora");
    test::FakeHub hub;
    test::QmlHarness h;
    QQuickWindow window;
    auto view = h.createFile("qrc:/Corvane/BarModeView.qml");
    auto *root = qobject_cast<QQuickItem *>(view.get());
    ASSERT_TRUE(root);
    root->setParentItem(window.contentItem());
    window.resize(1280, 140);
    root->setSize(QSizeF(1280, 140));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(window.rendererInterface()->graphicsApi(), QSGRendererInterface::Software);
    // Traffic that rises and falls: the sparklines reach the tops of their frames.
    auto *state = h.engine().singletonInstance<AppState *>(qmlTypeId("Corvane", 1, 0, "AppState"));
    for (int i = 0; i < 12; ++i) {
        NetworkSnapshot net;
        net.rates = NetworkSnapshot::Rates{i % 3 ? 50'000u : 4'000'000u, 1'000};
        state->network()->publish(net);
        StorageSnapshot disk;
        disk.rates = StorageSnapshot::Rates{i % 4 ? 2'000'000u : 90'000'000u, 10'000};
        state->storage()->publish(disk);
    }
    // The pills left on keep their size and place on the strip's middle line.
    std::map<QString, QRectF> before;
    for (const auto &p : BarModeSettings::allPills())
        if (auto *pill = root->findChild<QQuickItem *>("pill." + BarModeSettings::rawValue(p)))
            before[pill->objectName()] = pill->mapRectToScene(QRectF(0, 0, pill->width(), pill->height()));
    if (!GetParam().isEmpty())
        BarModeSettings::shared()->toggleRaw(GetParam());
    for (const auto &[name, r] : before) {
        auto *pill = root->findChild<QQuickItem *>(name);
        if (!pill->isVisible())
            continue;
        const QRectF now = pill->mapRectToScene(QRectF(0, 0, pill->width(), pill->height()));
        EXPECT_NEAR(now.height(), r.height(), 0.01) << name.toStdString();
        EXPECT_NEAR(now.width(), r.width(), 0.01) << name.toStdString();
        EXPECT_NEAR(now.center().y(), r.center().y(), 0.01) << name.toStdString();
    }
    const QImage shown = window.grabWindow();
    if (const QString dir = qEnvironmentVariable("CORVANE_SHOTS"); !dir.isEmpty())
        shown.save(QStringLiteral("%1/strip-software-%2-off.png").arg(dir, GetParam()));

    int texts = 0;
    for (QQuickItem *it : root->findChildren<QQuickItem *>()) {
        const bool text = it->inherits("QQuickText") && !it->property("text").toString().isEmpty();
        const bool spark = QByteArray(it->metaObject()->className()).endsWith("MiniSpark");
        if (!it->isVisible() || it->opacity() == 0 || (!text && !spark))
            continue;
        // The item's own ink: what changes when it alone is not drawn.
        it->setOpacity(0);
        const QImage without = window.grabWindow();
        it->setOpacity(1);
        const QRectF box = it->mapRectToScene(QRectF(0, 0, it->width(), it->height()));
        const QRect near = box.toAlignedRect().adjusted(-8, -8, 8, 8);
        const auto ink = changedRows(shown, without, near, 6);
        const std::string what = (it->property("text").toString() + " " + it->objectName()).toStdString();
        ASSERT_TRUE(ink) << what << " draws nothing";
        if (spark) {
            // The peaks lie on the plot's top edge, and their stroke reaches above it.
            const double plotTop = box.top() + it->property("bleed").toDouble() * root->property("rowScale").toDouble();
            EXPECT_LT(ink->first, int(std::floor(plotTop))) << "a peak is cut flat";
            continue;
        }
        // The same text drawn the same way where nothing clips it: its solid rows.
        QImage free(shown.size(), QImage::Format_ARGB32_Premultiplied), blank = free;
        free.fill(Qt::transparent);
        blank.fill(Qt::transparent);
        QPainter p(&free);
        p.setTransform(it->itemTransform(nullptr, nullptr));
        p.setFont(it->property("font").value<QFont>());
        p.setPen(Qt::white);
        p.drawText(QPointF(0, it->baselineOffset()), it->property("text").toString());
        p.end();
        const auto whole = changedRows(free, blank, near, 96);
        ASSERT_TRUE(whole) << what;
        EXPECT_LE(ink->first, whole->first) << what << " has its top cut";
        EXPECT_GE(ink->second, whole->second) << what << " has its bottom cut";
        ++texts;
    }
    EXPECT_GT(texts, 20);
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
    for (const auto &p : BarModeSettings::allPills())
        if (!BarModeSettings::shared()->isVisible(p))
            BarModeSettings::shared()->toggle(p);
    QQuickWindow::setSceneGraphBackend(QString());
}
INSTANTIATE_TEST_SUITE_P(EachPillOff, StripInk, ::testing::ValuesIn(pillsOffInTurn()),
                         [](const auto &i) { return i.param.isEmpty() ? std::string("none") : i.param.toStdString(); });
