// The sparkline's line drawn by QPainter (drawPolyline, round caps and joins) and by
// strokeRoundPolyline on the same data, in one run: the pixel difference between the two and
// the time ratio. With an argument, writes each shape side by side, enlarged, to that folder.
// `redraw [N]` instead times N whole redraws of the dashboard's sparklines; under
// `valgrind --tool=callgrind --instr-atstart=no` each size is counted on its own (a dump each).
#include "state/Palette.h"
#include "ui/shared/RoundPolyline.h"
#include "ui/shared/SparklineGeometry.h"
#include "ui/shared/StrokeItems.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_DUMP_STATS_AT(name)
#endif

using namespace corvane;

namespace {

struct Shape {
    const char *name;
    QList<double> samples;
    double dpr;
    bool gradient;
    double width;
    bool overFill;
};

QImage render(const Shape &s, QSize size, bool fast)
{
    QImage img(QSize(qRound(size.width() * s.dpr), qRound(size.height() * s.dpr)), QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(s.dpr);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPolygonF pts = sparkline::linePoints(s.samples, size.width(), size.height(), 1.0);
    if (s.overFill) {
        QLinearGradient fill(0, 0, 0, size.height());
        fill.setColorAt(0, QColor(90, 200, 255, 140));
        fill.setColorAt(1, QColor(90, 200, 255, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawPolygon(sparkline::fillPolygon(s.samples, size.width(), size.height(), 1.0));
    }
    QBrush brush(QColor(120, 220, 255, 230));
    if (s.gradient) {
        QLinearGradient g(0, 0, size.width(), 0);
        g.setColorAt(0, QColor(60, 255, 200));
        g.setColorAt(1, QColor(170, 90, 255, 200));
        brush = QBrush(g);
    }
    if (!fast || !strokeRoundPolyline(&p, pts, s.width, brush)) {
        p.setPen(QPen(brush, s.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(pts);
    }
    return img;
}

// Whole redraws of a sparkline as the dashboard shows it: a full history moving along by a
// fraction of a pixel a sample, each step painted as the item's textures are made.
struct Plot {
    const char *name;
    QSizeF size;
    double dpr;
    QVariant paint;
    QVariant max;
    double (*sample)(std::mt19937 &);
};

// A CPU at rest with the odd burst; a link mostly quiet with transfers now and then (its
// scale follows the data); a load that keeps the line busy over the whole height.
double idleCpu(std::mt19937 &rng)
{
    std::uniform_real_distribution<double> unit(0, 1);
    return unit(rng) < 0.05 ? 0.4 + 0.5 * unit(rng) : 0.06 + 0.1 * unit(rng);
}
double bursts(std::mt19937 &rng)
{
    std::uniform_real_distribution<double> unit(0, 1);
    return unit(rng) < 0.15 ? 2e6 * unit(rng) : 4e4 * unit(rng);
}
double busy(std::mt19937 &rng) { return std::uniform_real_distribution<double>(0, 1)(rng); }

int redraws(int count)
{
    const QList<Plot> plots{
        {"cpu-82x24", {82, 24}, 1, QVariant::fromValue(Palette::cpuGradient()), 1.0, idleCpu},
        {"gpu-120x34-dpr2", {120, 34}, 2, QVariant::fromValue(Palette::gpuGradient()), 1.0, idleCpu},
        {"network-266x60", {266, 60}, 1, QVariant::fromValue(QColor(77, 166, 255)), QVariant(), bursts},
        {"busy-266x60", {266, 60}, 1, QVariant::fromValue(QColor(77, 166, 255)), 1.0, busy},
        {"busy-520x90", {520, 90}, 1, QVariant::fromValue(Palette::downloadGradient()), QVariant(), busy},
    };
    std::mt19937 rng(3);
    for (const Plot &c : plots) {
        SparklinePlot plot;
        plot.setSize(c.size);
        plot.setShowGrid(true);
        plot.setNormalizedMax(c.max);
        plot.setPaint(c.paint);
        plot.setGlowColor(QColor(80, 160, 255));
        QList<double> history;
        for (int i = 0; i < 90; ++i)
            history << c.sample(rng);
        QImage img(QSize(qRound(c.size.width() * c.dpr), qRound(c.size.height() * c.dpr)), QImage::Format_ARGB32_Premultiplied);
        img.setDevicePixelRatio(c.dpr);
        const auto step = [&] {
            history.removeFirst();
            history << c.sample(rng);
            plot.setSamples(QVariant::fromValue(history));
            img.fill(Qt::transparent);
            RasterItem::paintInto(plot, img);
        };
        step(); // the grid image and first allocations
        const int before = plot.wholeRedraws();
        QElapsedTimer t;
        t.start();
        CALLGRIND_ZERO_STATS;
        CALLGRIND_START_INSTRUMENTATION;
        for (int i = 0; i < count; ++i)
            step();
        CALLGRIND_STOP_INSTRUMENTATION;
        CALLGRIND_DUMP_STATS_AT(c.name);
        const int whole = plot.wholeRedraws() - before;
        std::printf("%-18s %d paints, %d whole redraws, %.1f us a paint\n", c.name, count, whole,
                    double(t.nsecsElapsed()) / 1000 / std::max(count, 1));
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "redraw") == 0)
        return redraws(argc > 2 ? std::atoi(argv[2]) : 200);
    const QString shots = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> unit(0, 1);
    QList<double> noisy, spikes, gaps, ramp;
    for (int i = 0; i < 60; ++i) {
        noisy << unit(rng);
        spikes << (i % 9 == 4 ? 0.95 : 0.08);
        gaps << (i % 13 < 3 ? std::numeric_limits<double>::quiet_NaN() : 0.3 + 0.4 * std::sin(i / 5.0));
        ramp << i / 59.0;
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QList<Shape> shapes{
        {"flat", QList<double>(60, 0.4), 1, false, 2.2, false},
        {"noisy", noisy, 1, false, 2.2, false},
        {"noisy-gradient", noisy, 1, true, 2.2, true},
        {"spikes", spikes, 1, true, 2.2, false},
        {"gaps", gaps, 1, false, 2.2, true},
        {"two-steep", {0, 1}, 1, false, 2.2, false},
        {"ramp-dpr1.5", ramp, 1.5, true, 2.2, false},
        {"noisy-dpr2", noisy, 2, false, 2.2, true},
        {"noisy-dpr1.25", noisy, 1.25, true, 2.2, false},
        {"mini-5.5", noisy.mid(20), 1, false, 5.5, false},
        {"mini-1.5", noisy.mid(20), 1, false, 1.5, false},
        {"one-sample", {0.5}, 1, false, 2.2, false},
        {"nan-only", {nan, nan}, 1, false, 2.2, false},
    };
    const QSize size(265, 30);
    int worst = 0;
    std::printf("%-16s %8s %8s %8s\n", "shape", "max", "mean", "px>8");
    for (const Shape &s : shapes) {
        const QImage a = render(s, size, false), b = render(s, size, true);
        int mx = 0, over = 0;
        double sum = 0;
        for (int y = 0; y < a.height(); ++y) {
            const auto *pa = reinterpret_cast<const quint32 *>(a.constScanLine(y));
            const auto *pb = reinterpret_cast<const quint32 *>(b.constScanLine(y));
            for (int x = 0; x < a.width(); ++x) {
                int px = 0;
                for (int k = 0; k < 32; k += 8) {
                    const int d = std::abs(int((pa[x] >> k) & 0xff) - int((pb[x] >> k) & 0xff));
                    px = std::max(px, d);
                    sum += d;
                }
                if (px > 40 && qEnvironmentVariableIsSet("POLYLINE_WHERE"))
                    std::printf("  %s (%d,%d) qpainter %08x new %08x\n", s.name, x, y, pa[x], pb[x]);
                mx = std::max(mx, px);
                over += px > 8;
            }
        }
        worst = std::max(worst, mx);
        std::printf("%-16s %8d %8.3f %8d\n", s.name, mx, sum / (4.0 * a.width() * a.height()), over);
        if (!shots.isEmpty()) {
            // QPainter above, the new line below, both 6x, on a dark backdrop.
            QImage side(a.width() * 6, a.height() * 12 + 6, QImage::Format_RGB32);
            side.fill(QColor(18, 20, 28));
            QPainter sp(&side);
            QImage ua = a, ub = b;
            ua.setDevicePixelRatio(1);
            ub.setDevicePixelRatio(1);
            sp.drawImage(QRect(0, 0, a.width() * 6, a.height() * 6), ua);
            sp.drawImage(QRect(0, a.height() * 6 + 6, a.width() * 6, a.height() * 6), ub);
            sp.end();
            side.save(shots + QLatin1Char('/') + QLatin1String(s.name) + QLatin1String(".png"));
        }
    }

    // Time: the dashboard's case (60 noisy samples, gradient, 265x30) and the mini's.
    const Shape timed[]{{"dashboard", noisy, 1, true, 2.2, false}, {"mini-5.5", noisy.mid(20), 1, false, 5.5, false}};
    for (const Shape &s : timed) {
        double ns[2] = {0, 0};
        for (int round = 0; round < 3; ++round)
            for (int fast = 0; fast < 2; ++fast) {
                QElapsedTimer t;
                t.start();
                for (int i = 0; i < 300; ++i)
                    render(s, size, fast);
                ns[fast] += double(t.nsecsElapsed());
            }
        std::printf("time %-16s QPainter %.0f us, new %.0f us, ratio %.2fx (image and fill included)\n", s.name,
                    ns[0] / 900 / 1000, ns[1] / 900 / 1000, ns[0] / ns[1]);
    }
    std::printf("largest per-channel difference: %d\n", worst);
    return 0;
}
