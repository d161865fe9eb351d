#include "checks/MetalStressView.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLVertexArrayObject>
#include <QPainter>
#include <QPainterPath>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace corvane {

namespace {
// Clears the frame outside a rounded rectangle; only the corners are touched.
void clearCorners(QImage &image, double radius)
{
    if (radius <= 0 || image.isNull())
        return;
    if (!image.hasAlphaChannel())
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QRectF r(QPointF(0, 0), image.size());
    const double cr = std::min(radius, std::min(r.width(), r.height()) / 2);
    QPainterPath outside;
    outside.addRect(r);
    QPainterPath inside;
    inside.addRoundedRect(r, cr, cr);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.fillPath(outside.subtracted(inside), Qt::black);
}
} // namespace
namespace {

double monotonicSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// GLSL 1.30 / ES 3.00: a loop bounded by a uniform and gl_VertexID need at least these.
QString versioned(const QString &body, bool es)
{
    return (es ? QStringLiteral("#version 300 es\nprecision highp float;\nprecision highp int;\n")
               : QStringLiteral("#version 130\n")) +
           body;
}

} // namespace

QString MetalStressView::vertexSource()
{
    // A full-view strip from the vertex index alone: (-1,-1), (1,-1), (-1,1), (1,1).
    return QStringLiteral(R"(
out vec2 uv;
void main() {
    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1)) * 2.0 - 1.0;
    gl_Position = vec4(corner, 0.0, 1.0);
    uv = (corner + 1.0) * 0.5;
}
)");
}

QString MetalStressView::fragmentSource()
{
    // The iteration limit arrives ready-made (iterationLimit()), so the shader and the
    // tests agree on it; everything else follows the escape-time recipe per pixel.
    return QStringLiteral(R"(
in vec2 uv;
out vec4 fragColor;
uniform float time;
uniform int maxIter;
void main() {
    vec2 p = uv * 2.0 - 1.0;
    float zoom = exp(-mod(time * 0.18, 6.0));
    vec2 c = vec2(-0.743643887037151, 0.13182590420533) + p * zoom * 1.5;
    float a = time * 0.07;
    float s = sin(a);
    float k = cos(a);
    c = vec2(k * c.x - s * c.y, s * c.x + k * c.y);
    vec2 z = vec2(0.0);
    int it = 0;
    for (int i = 0; i < maxIter; ++i) {
        z = vec2(z.x * z.x - z.y * z.y, 2.0 * z.x * z.y) + c;
        it = i;
        if (dot(z, z) > 256.0) break;
    }
    // Points ending inside the unit circle have no finite smooth count: they take t = 0.
    float l = log2(dot(z, z));
    float t = 0.0;
    if (l > 0.0)
        t = clamp((float(it) - log2(l) + 4.0) / float(maxIter), 0.0, 1.0);
    vec3 col = vec3(0.05, 0.02, 0.10)
             + vec3(0.95, 0.55, 0.20) * cos(6.2831 * (vec3(0.10, 0.85, 1.00) * t + vec3(0.85, 0.35, 0.95)));
    col += vec3(0.08 * sin(time * 1.2 + p.x * 4.0));
    fragColor = vec4(col, 1.0);
}
)");
}

int MetalStressView::iterationLimit(double intensity)
{
    // In 32-bit floats like the shader would: 0.8 gives 1000, not 999.
    const float t = std::isnan(intensity) ? 0.0f : std::clamp(static_cast<float>(intensity), 0.0f, 1.0f);
    return static_cast<int>(200.0f + (1200.0f - 200.0f) * t);
}

MetalStressView::MetalStressView(QQuickItem *parent) : QQuickItem(parent), m_fragment(fragmentSource())
{
    setFlag(ItemHasContents, true);
    m_startSec = monotonicSeconds();
}

MetalStressView::~MetalStressView() { finishThread(); }

void MetalStressView::finishThread()
{
    {
        std::lock_guard l(m_lock);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_surface.reset(); // made on this thread, released here after the context is gone
}

void MetalStressView::setFragmentSource(const QString &source) { m_fragment = source; }

void MetalStressView::setIntensity(double v)
{
    if (v == m_intensity.load())
        return;
    m_intensity = v; // read by the next frame; nothing is rebuilt
    emit intensityChanged();
}

void MetalStressView::setCornerRadius(double r)
{
    if (r == m_cornerRadius)
        return;
    m_cornerRadius = r;
    emit cornerRadiusChanged();
    wake();
}

void MetalStressView::setRunning(bool r)
{
    if (r == m_running)
        return;
    m_running = r;
    wake();
    emit runningChanged();
}

QImage MetalStressView::lastFrame() const
{
    QMutexLocker l(&m_frameLock);
    return m_frame;
}

void MetalStressView::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    wake();
}

void MetalStressView::itemChange(ItemChange change, const ItemChangeData &value)
{
    QQuickItem::itemChange(change, value);
    if (change == ItemSceneChange || change == ItemDevicePixelRatioHasChanged || change == ItemVisibleHasChanged)
        wake();
}

void MetalStressView::wake()
{
    QQuickWindow *w = window();
    const double dpr = w ? w->effectiveDevicePixelRatio() : 1.0;
    const QSize px(static_cast<int>(std::ceil(width() * dpr)), static_cast<int>(std::ceil(height() * dpr)));
    {
        std::lock_guard l(m_lock);
        m_pixelSize = px;
        m_cornerPx = std::max(0.0, m_cornerRadius * dpr);
        m_wantFrames = m_running && w && isVisible() && !px.isEmpty();
    }
    m_wake.notify_all();
    if (w && !px.isEmpty())
        ensureThread();
}

void MetalStressView::ensureThread()
{
    if (m_thread.joinable() || m_quit)
        return;
    m_surface = std::make_unique<QOffscreenSurface>();
    m_surface->create();
    m_thread = std::thread([this] { renderLoop(); });
}

void MetalStressView::renderLoop()
{
    QOpenGLContext ctx;
    if (!m_surface->isValid() || !ctx.create() || !ctx.makeCurrent(m_surface.get()))
        return; // no OpenGL here: the view stays blank and the name stays "—"
    QOpenGLFunctions *gl = ctx.functions();
    const QString renderer = QString::fromLatin1(reinterpret_cast<const char *>(gl->glGetString(GL_RENDERER)));
    QMetaObject::invokeMethod(this, [this, renderer] {
        m_rendererName = renderer.isEmpty() ? QStringLiteral("—") : renderer;
        emit rendererNameChanged();
    }, Qt::QueuedConnection);

    const bool es = ctx.isOpenGLES();
    {
        QOpenGLShaderProgram program;
        const bool built = program.addShaderFromSourceCode(QOpenGLShader::Vertex, versioned(vertexSource(), es)) &&
                           program.addShaderFromSourceCode(QOpenGLShader::Fragment, versioned(m_fragment, es)) &&
                           program.link();
        if (!built) {
            // One line, once: the compiler's log joined onto it.
            QString log = program.log().simplified();
            qWarning().noquote() << QStringLiteral("MetalStressView shader build failed: ") + log;
            QMetaObject::invokeMethod(this, [this] {
                m_failed = true;
                emit failedChanged();
            }, Qt::QueuedConnection);
            ctx.doneCurrent();
            return;
        }
        const int timeLoc = program.uniformLocation("time");
        const int iterLoc = program.uniformLocation("maxIter");
        QOpenGLVertexArrayObject vao; // core profiles draw nothing without one
        vao.create();
        std::unique_ptr<QOpenGLFramebufferObject> fbo;
        const double frameSec = 1.0 / kMaxFps;
        double nextFrame = 0;

        for (;;) {
            QSize size;
            double cornerPx = 0;
            {
                std::unique_lock l(m_lock);
                m_wake.wait(l, [this] { return m_quit || m_wantFrames; });
                if (m_quit)
                    break;
                size = m_pixelSize;
                cornerPx = m_cornerPx;
            }
            const double now = monotonicSeconds();
            if (now < nextFrame) {
                std::unique_lock l(m_lock);
                m_wake.wait_for(l, std::chrono::duration<double>(nextFrame - now), [this] { return m_quit; });
                if (m_quit)
                    break;
            }
            nextFrame = std::max(nextFrame + frameSec, monotonicSeconds());

            if (!fbo || fbo->size() != size)
                fbo = std::make_unique<QOpenGLFramebufferObject>(size);
            if (!fbo->isValid() || !fbo->bind())
                continue;
            gl->glViewport(0, 0, size.width(), size.height());
            gl->glClearColor(kClearRed, kClearGreen, kClearBlue, 1.0f);
            gl->glClear(GL_COLOR_BUFFER_BIT);
            program.bind();
            program.setUniformValue(timeLoc, static_cast<GLfloat>(monotonicSeconds() - m_startSec));
            program.setUniformValue(iterLoc, iterationLimit(m_intensity.load()));
            vao.bind();
            gl->glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
            vao.release();
            program.release();
            QImage image = fbo->toImage(); // waits for the frame: the pace of a software rasterizer
            fbo->release();
            clearCorners(image, cornerPx);
            {
                QMutexLocker l(&m_frameLock);
                m_frame = std::move(image);
                m_frameNew = true;
            }
            ++m_frames;
            QMetaObject::invokeMethod(this, &QQuickItem::update, Qt::QueuedConnection);
        }
        fbo.reset();
        vao.destroy();
    }
    ctx.doneCurrent();
}

QSGNode *MetalStressView::updatePaintNode(QSGNode *old, UpdatePaintNodeData *)
{
    auto *node = static_cast<QSGImageNode *>(old);
    QImage frame;
    {
        QMutexLocker l(&m_frameLock);
        if (m_frameNew) {
            frame = m_frame;
            m_frameNew = false;
        }
    }
    if (!frame.isNull()) {
        if (!node) {
            node = window()->createImageNode();
            node->setOwnsTexture(true);
            node->setFiltering(QSGTexture::Linear);
        }
        node->setTexture(window()->createTextureFromImage(frame));
    }
    if (node)
        node->setRect(boundingRect());
    return node;
}

} // namespace corvane
