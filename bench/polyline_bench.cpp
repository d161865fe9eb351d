// The sparkline's line drawn by QPainter (drawPolyline, round caps and joins) and by
// strokeRoundPolyline on the same data, in one run: the pixel difference between the two and
// the time ratio. With an argument, writes each shape side by side, enlarged, to that folder.
#include "ui/shared/RoundPolyline.h"
#include "ui/shared/SparklineGeometry.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

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

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
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
