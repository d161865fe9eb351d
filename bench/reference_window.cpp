// The yardstick of the footprint benchmark: the least a Qt Quick window can be, one text
// that changes once a second, under the software renderer.
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>

int main(int argc, char *argv[])
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    QQmlApplicationEngine engine;
    engine.loadData(R"(
import QtQuick
import QtQuick.Window
Window {
    width: 320; height: 120; visible: true; color: "#101018"
    title: "reference window"
    Text {
        id: clock
        anchors.centerIn: parent
        color: "white"; font.pixelSize: 28
        text: new Date().toLocaleTimeString(Qt.locale("C"), "hh:mm:ss")
    }
    Timer {
        interval: 1000; repeat: true; running: true
        onTriggered: clock.text = new Date().toLocaleTimeString(Qt.locale("C"), "hh:mm:ss")
    }
}
)");
    return engine.rootObjects().isEmpty() ? 1 : app.exec();
}
