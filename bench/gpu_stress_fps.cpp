// Frames per second of the GPU load at a given intensity (default 0.8) for 10 s, at the
// size the GPU stress sheet gives it. Needs a display (run under xvfb-run without a GPU).
#include "checks/MetalStressView.h"

#include <QGuiApplication>
#include <QQuickWindow>
#include <QTimer>

#include <cstdio>

using namespace corvane;

int main(int argc, char **argv)
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); // as on a machine without a GPU
    QGuiApplication app(argc, argv);
    const double intensity = argc > 1 ? std::atof(argv[1]) : 0.8;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    QQuickWindow window;
    window.resize(892, 360);
    MetalStressView view;
    view.setParentItem(window.contentItem());
    view.setSize(QSizeF(892, 360));
    view.setIntensity(intensity);
    view.setRunning(true);
    window.show();
    quint64 startFrames = 0;
    // Measure after the first frame so context set-up is not counted.
    QTimer::singleShot(1000, [&] { startFrames = view.frameCount(); });
    QTimer::singleShot(1000 + seconds * 1000, &app, &QGuiApplication::quit);
    app.exec();
    std::printf("renderer: %s\nintensity %.2f, %dx%d px: %.2f frames/s\n", qPrintable(view.rendererName()), intensity,
                892, 360, static_cast<double>(view.frameCount() - startFrames) / seconds);
    return 0;
}
