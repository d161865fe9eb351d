#pragma once
// The GPU load: a zooming, turning Mandelbrot drawn by a fragment shader every frame while
// running. It renders through its own OpenGL context into an offscreen framebuffer on a
// render thread and shows each finished frame as a texture, so it works under the software
// scene graph too (Mesa's software rasterizer then does the drawing).
#include <QImage>
#include <QMutex>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class QOffscreenSurface;

namespace corvane {

class MetalStressView : public QQuickItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(double intensity READ intensity WRITE setIntensity NOTIFY intensityChanged)
    Q_PROPERTY(bool running READ running WRITE setRunning NOTIFY runningChanged)
    // Frames are cut to a rounded rectangle of this radius (the software scene graph clips
    // only to rectangles).
    Q_PROPERTY(double cornerRadius READ cornerRadius WRITE setCornerRadius NOTIFY cornerRadiusChanged)
    // The OpenGL renderer that draws ("—" until known, or when no context can be made).
    Q_PROPERTY(QString rendererName READ rendererName NOTIFY rendererNameChanged)
    // True once the shader failed to build: the view stays blank.
    Q_PROPERTY(bool failed READ failed NOTIFY failedChanged)
public:
    static constexpr int kMaxFps = 120;
    static constexpr float kClearRed = 0.02f, kClearGreen = 0.02f, kClearBlue = 0.05f;

    explicit MetalStressView(QQuickItem *parent = nullptr);
    ~MetalStressView() override;

    // Per-pixel iteration limit: 200 at intensity 0, 1200 at 1, clamped outside 0…1.
    static int iterationLimit(double intensity);
    // The shader texts; a test may replace the fragment stage before the view is shown.
    static QString vertexSource();
    static QString fragmentSource();
    void setFragmentSource(const QString &source);

    double intensity() const { return m_intensity.load(); }
    void setIntensity(double v);
    bool running() const { return m_running; }
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double r);
    void setRunning(bool r);
    QString rendererName() const { return m_rendererName; }
    bool failed() const { return m_failed; }

    // Frames finished since creation, and a copy of the newest (for tests).
    quint64 frameCount() const { return m_frames.load(); }
    QImage lastFrame() const;

signals:
    void intensityChanged();
    void runningChanged();
    void cornerRadiusChanged();
    void rendererNameChanged();
    void failedChanged();

protected:
    QSGNode *updatePaintNode(QSGNode *old, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    void ensureThread();
    void renderLoop();
    void wake();
    void finishThread();

    std::atomic<double> m_intensity{0.7};
    bool m_running = false;
    double m_cornerRadius = 0;
    QString m_rendererName = QStringLiteral("—");
    bool m_failed = false;
    QString m_fragment;

    // Shared with the render thread.
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_quit = false;
    bool m_wantFrames = false;
    QSize m_pixelSize;
    double m_cornerPx = 0;
    double m_startSec = 0;
    mutable QMutex m_frameLock;
    QImage m_frame;
    bool m_frameNew = false;
    std::atomic<quint64> m_frames{0};

    std::unique_ptr<QOffscreenSurface> m_surface;
    std::thread m_thread;
};

} // namespace corvane
