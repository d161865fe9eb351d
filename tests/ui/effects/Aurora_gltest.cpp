// The aurora on a real OpenGL scene graph (Xvfb + llvmpipe): it draws, keeps to its frame
// cap, stops when paused or hidden, and a shader that fails to load leaves the static
// stack with one log line. PNGs go to <build>/effects-png.
#include "platform/Haptics.h"
#include "ui/effects/EffectsTestUtil.h"

#include <QElapsedTimer>
#include <QSGRendererInterface>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvane::test;

namespace {

const QString kBackground = QStringLiteral("qrc:/Corvane/AnimatedBackground.qml");
const QString kLogPrefix = QStringLiteral("AuroraRenderer: pipeline failed, falling back to static bg: ");

// Counts the frames the window swaps from construction on.
struct SwapCount {
    explicit SwapCount(QQuickWindow &w)
        : c(QObject::connect(&w, &QQuickWindow::frameSwapped, &w, [this] { ++swaps; }, Qt::DirectConnection))
    {
    }
    ~SwapCount() { QObject::disconnect(c); }
    std::atomic<int> swaps{0};
    QMetaObject::Connection c;
};

double maxLuma(const QImage &img)
{
    double best = 0;
    for (int y = 0; y < img.height(); y += 4)
        for (int x = 0; x < img.width(); x += 4) {
            const QColor c = img.pixelColor(x, y);
            best = std::max(best, 0.2126 * c.redF() + 0.7152 * c.greenF() + 0.0722 * c.blueF());
        }
    return best;
}

class AuroraGl : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(view.load(kBackground, QSize(480, 300)))
            << view.harness.warnings().join('\n').toStdString();
        view.window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view.window));
        ASSERT_EQ(view.window.rendererInterface()->graphicsApi(), QSGRendererInterface::OpenGL);
        aurora = view.child<QQuickItem>("aurora");
        ASSERT_TRUE(aurora);
    }
    bool animating() const { return aurora->property("animating").toBool(); }

    HostedView view;
    QQuickItem *aurora = nullptr;
};

} // namespace

TEST_F(AuroraGl, DrawsAndAnimatesAtNoMoreThanThirtyFramesASecond)
{
    QTRY_VERIFY_WITH_TIMEOUT(animating(), 5000);
    // A rate, not a time: however slow the machine, never more frames than 30 a second allow.
    QElapsedTimer t;
    const int ticksBefore = aurora->property("frames").toInt();
    t.start();
    {
        SwapCount count(view.window);
        QTRY_VERIFY_WITH_TIMEOUT(count.swaps >= 20, 60000); // it does animate
        const qint64 ms = t.elapsed();
        const int ticks = aurora->property("frames").toInt() - ticksBefore;
        EXPECT_LE(ticks, ms * 30 / 1000 + 2);
        EXPECT_LE(count.swaps, ms * 30 / 1000 + 3) << "the window only redraws when the aurora moves";
    }

    const QImage a = view.window.grabWindow();
    savePng(a, QStringLiteral("aurora-gl.png"));
    QImage b;
    QTRY_VERIFY_WITH_TIMEOUT((b = view.window.grabWindow()) != a, 20000);
    savePng(b, QStringLiteral("aurora-gl-later.png"));
    EXPECT_GT(maxLuma(a), 0.25) << "bands and stars, not just the dark base";
    EXPECT_NE(a, b);
    EXPECT_TRUE(view.harness.warnings().isEmpty()) << view.harness.warnings().join('\n').toStdString();
}

TEST_F(AuroraGl, PausedOrHiddenDrawsNoFrames)
{
    QTRY_VERIFY_WITH_TIMEOUT(animating(), 5000);

    view.object->setProperty("paused", true);
    EXPECT_FALSE(animating());
    EXPECT_LE(framesOverTicks(view.window, 20), 2) << "still drawing while paused";

    view.object->setProperty("paused", false);
    EXPECT_TRUE(animating());
    {
        SwapCount count(view.window);
        QTRY_VERIFY_WITH_TIMEOUT(count.swaps >= 5, 30000);
    }

    view.window.hide();
    QTRY_VERIFY(!animating());
    const int ticks = aurora->property("frames").toInt();
    EXPECT_EQ(framesOverTicks(view.window, 10), 0);
    EXPECT_EQ(aurora->property("frames").toInt(), ticks);

    view.window.show();
    QTRY_VERIFY_WITH_TIMEOUT(animating(), 5000);
}

TEST_F(AuroraGl, ShaderThatFailsToLoadLogsOnceAndLeavesTheStaticStack)
{
    LogCapture log;
    QTRY_VERIFY_WITH_TIMEOUT(animating(), 5000);
    QObject *shader = view.child<QObject>("auroraShader");
    ASSERT_TRUE(shader);
    shader->setProperty("fragmentShader", QUrl(QStringLiteral("qrc:/shaders/missing.frag.qsb")));

    QTRY_VERIFY(!animating());
    ASSERT_TRUE(waitForFrames(view.window, 3)); // frames that could have tried the pipeline again
    const QStringList lines = log.linesStartingWith(kLogPrefix);
    ASSERT_EQ(lines.size(), 1) << log.lines().join('\n').toStdString();
    EXPECT_GT(lines.first().size(), kLogPrefix.size()) << "the error's description follows";
    EXPECT_TRUE(aurora->property("pipelineFailed").toBool());

    const QImage img = view.window.grabWindow();
    savePng(img, QStringLiteral("aurora-gl-failed.png"));
    const Rgb mid = meanColor(img, {240, 150}, 4);
    EXPECT_NEAR(mid.b, 0.07, 0.03) << "the base colour shows through";
    EXPECT_LT(maxLuma(img), 0.2);
}

// The main window's appearance settings reach the drawing: the strength scales the aurora
// over the dark base (0.55, the designed look, in between), and without particles the stars
// and grain are gone.
TEST_F(AuroraGl, StrengthAndParticlesChangeWhatIsDrawn)
{
    QTRY_VERIFY_WITH_TIMEOUT(animating(), 5000);
    view.object->setProperty("paused", true); // one still frame to compare
    auto meanLuma = [](const QImage &img) {
        double sum = 0;
        int n = 0;
        for (int y = 0; y < img.height(); y += 3)
            for (int x = 0; x < img.width(); x += 3, ++n) {
                const QColor c = img.pixelColor(x, y);
                sum += 0.2126 * c.redF() + 0.7152 * c.greenF() + 0.0722 * c.blueF();
            }
        return sum / n;
    };
    // Share of pixels that differ: the grain moves nearly every one, the stars a few a lot.
    auto differing = [](const QImage &a, const QImage &b) {
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                n += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        return double(n) / (a.width() * a.height());
    };
    auto drawn = [&](double strength, bool particles) {
        view.object->setProperty("strength", strength);
        view.object->setProperty("particles", particles);
        return view.window.grabWindow();
    };
    const QImage designed = drawn(0.55, true);
    EXPECT_EQ(differing(designed, drawn(0.55, true)), 0.0) << "a still frame should repeat";
    const QImage none = drawn(0.0, true);
    const QImage full = drawn(1.0, true);
    const QImage bare = drawn(0.55, false);
    savePng(none, QStringLiteral("aurora-gl-strength0.png"));
    savePng(full, QStringLiteral("aurora-gl-strength1.png"));
    savePng(bare, QStringLiteral("aurora-gl-no-particles.png"));
    EXPECT_LT(meanLuma(none), 0.8 * meanLuma(designed));
    EXPECT_GT(meanLuma(full), 1.2 * meanLuma(designed));
    EXPECT_GT(differing(designed, bare), 0.2) << "the stars and grain stayed";
    EXPECT_FALSE(view.child<QQuickItem>("grain")->isVisible());
    EXPECT_TRUE(view.harness.warnings().isEmpty()) << view.harness.warnings().join('\n').toStdString();
}

TEST(GlassCardGl, HoveredCardOverTheAurora)
{
    corvane::Haptics::shared()->clear();
    HostedView v;
    v.harness.engine().addImportPath(QStringLiteral("qrc:/"));
    v.object = v.harness.create(R"(
        import QtQuick
        import Corvane
        Item {
            AnimatedBackground { anchors.fill: parent }
            HoverGlassCard {
                objectName: "card"
                x: 60; y: 50; width: 360; height: 200
                title: "Setări de afișare"
                icon: "display"
                accent: AppPalette.displayGradient
                accentColor: AppPalette.displayGradient.to
                Text { text: "62%"; color: "white"; font.family: "DejaVu Sans Mono"; font.pixelSize: 36 }
            }
            HoverGlassCard {
                x: 60; y: 280; width: 360; height: 100
                title: "procesor"
                icon: "cpu"
                accent: "#4cc3ff"
                accentColor: "#4cc3ff"
            }
        }
    )");
    ASSERT_TRUE(v.item()) << v.harness.warnings().join('\n').toStdString();
    v.window.resize(480, 420);
    v.item()->setParentItem(v.window.contentItem());
    v.item()->setSize(QSizeF(480, 420));
    v.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v.window));
    QTest::qWait(300);
    savePng(v.window.grabWindow(), QStringLiteral("glasscard-gl-rest.png"));

    QTest::mouseMove(&v.window, QPoint(60 + 300, 50 + 40));
    QObject *card = v.child<QObject>("card");
    QTRY_VERIFY(card->property("hover").toBool());
    QTest::qWait(500);
    savePng(v.window.grabWindow(), QStringLiteral("glasscard-gl-hover.png"));
    EXPECT_EQ(corvane::Haptics::shared()->performed().count(corvane::Haptics::Alignment), 1);
    EXPECT_TRUE(v.harness.warnings().isEmpty()) << v.harness.warnings().join('\n').toStdString();
}
