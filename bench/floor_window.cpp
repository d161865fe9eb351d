// Floors for the footprint benchmark: the least a Qt program can cost for what Corvane has to
// do, under the same software renderer.
//   --changes  a window the dashboard's size that redraws only what the dashboard must change
//              each second: twelve figures, eight antialiased sparklines, four ring arcs. Nothing
//              else is drawn (no cards, glass, grain or labels).
//   --tray     a tray icon (Qt Widgets, as the XEmbed tray needs) and a Quick Controls window
//              that is shown, then closed and its engine deleted, freed memory trimmed: what the
//              app with every surface hidden cannot go below.
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QQmlApplicationEngine>
#include <QQuickPaintedItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cmath>

#include <malloc.h>

namespace {

// A sparkline (60 points, 2.2 px round-joined antialiased line) or a ring arc, drawn with
// QPainter into the item's image, repainted when `tick` changes.
class FloorPlot : public QQuickPaintedItem
{
    Q_OBJECT
    Q_PROPERTY(int tick READ tick WRITE setTick)
    Q_PROPERTY(bool arc MEMBER m_arc)

public:
    int tick() const { return m_tick; }
    void setTick(int t)
    {
        m_tick = t;
        update();
    }

    void paint(QPainter *p) override
    {
        p->setRenderHint(QPainter::Antialiasing);
        if (m_arc) {
            p->setPen(QPen(QColor(0x4a, 0xa3, 0xff), 8, Qt::SolidLine, Qt::RoundCap));
            p->drawArc(QRectF(8, 8, width() - 16, height() - 16), 90 * 16, -((m_tick * 37) % 360) * 16);
            return;
        }
        QPolygonF points;
        for (int i = 0; i < 60; ++i) {
            // A history scrolling by a point a second, as smooth as a load graph.
            const double x = i + m_tick;
            const double v = 0.6 * std::sin(x * 0.13) + 0.3 * std::sin(x * 0.47 + 1.0);
            points << QPointF(i * width() / 59, height() / 2 + height() * 0.4 * v);
        }
        p->setPen(QPen(QColor(0x4a, 0xa3, 0xff), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p->drawPolyline(points);
    }

private:
    int m_tick = 0;
    bool m_arc = false;
};

const char *const kChanges = R"(
import QtQuick
import QtQuick.Window
import Floor
Window {
    id: win
    width: 1180; height: 760; visible: true; color: "#101018"
    title: "floor window"
    property int tick: 0
    Grid { x: 40; y: 40; columns: 4; spacing: 48
        Repeater { model: 12
            Text { color: "white"; font.pixelSize: 18
                   text: ((win.tick * 7919 + index * 104729) % 100000 / 100).toFixed(1) + " MB" } } }
    Grid { x: 40; y: 260; columns: 4; spacing: 24
        Repeater { model: 8
            FloorPlot { width: 260; height: 60; tick: win.tick + index } } }
    Row { x: 40; y: 480; spacing: 40
        Repeater { model: 4
            FloorPlot { width: 90; height: 90; arc: true; tick: win.tick + index } } }
    Timer { interval: 1000; repeat: true; running: true; onTriggered: win.tick++ }
}
)";

const char *const kControls = R"(
import QtQuick
import QtQuick.Controls
ApplicationWindow {
    width: 1180; height: 760; visible: true
    title: "floor window"
    Column {
        spacing: 8
        Button { text: "Salut" }
        Switch {}
        Slider {}
        ComboBox { model: ["a", "b"] }
        TextField {}
        ScrollView { width: 200; height: 100
            ListView { model: 50; delegate: Label { text: "rând " + index } } }
    }
}
)";

} // namespace

int main(int argc, char *argv[])
{
    const bool tray = argc > 1 && qstrcmp(argv[1], "--tray") == 0;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QApplication app(argc, argv);
    qmlRegisterType<FloorPlot>("Floor", 1, 0, "FloorPlot");
    auto *engine = new QQmlApplicationEngine;
    if (!tray) {
        engine->loadData(kChanges);
        return engine->rootObjects().isEmpty() ? 1 : app.exec();
    }

    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap icon(22, 22);
    icon.fill(QColor(0x4a, 0xa3, 0xff));
    QSystemTrayIcon trayIcon{QIcon(icon)};
    trayIcon.show();
    engine->loadData(kControls);
    if (engine->rootObjects().isEmpty())
        return 1;
    QTimer::singleShot(3000, engine, [engine] {
        engine->deleteLater();
        QTimer::singleShot(1500, [] { malloc_trim(0); });
    });
    return app.exec();
}

#include "floor_window.moc"
