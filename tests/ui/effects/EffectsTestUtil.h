#pragma once
// Shared helpers for the effect views' tests: a window to host a view, PNG output and
// capture of the log lines QML writes with console.warn. Header-only: both the offscreen
// and the OpenGL test binaries include it.
#include "support/QmlTestUtil.h"

#include <QDir>
#include <QImage>
#include <QMutex>
#include <QMutexLocker>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStringList>

#include <memory>

namespace corvane::test {

namespace detail {
inline QMutex logLock;
inline QStringList logLines;
inline QtMessageHandler previousHandler = nullptr;

inline void captureHandler(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
{
    if (type == QtWarningMsg || type == QtCriticalMsg) {
        QMutexLocker l(&logLock);
        logLines << msg;
    }
    if (previousHandler)
        previousHandler(type, ctx, msg);
}
} // namespace detail

// Collects warning-level messages while alive (console.warn lands there).
class LogCapture {
public:
    LogCapture()
    {
        QMutexLocker l(&detail::logLock);
        detail::logLines.clear();
        detail::previousHandler = qInstallMessageHandler(detail::captureHandler);
    }
    ~LogCapture() { qInstallMessageHandler(detail::previousHandler); }
    QStringList lines() const
    {
        QMutexLocker l(&detail::logLock);
        return detail::logLines;
    }
    QStringList linesStartingWith(const QString &prefix) const
    {
        QStringList out;
        for (const QString &l : lines())
            if (l.startsWith(prefix))
                out << l;
        return out;
    }
};

// A window holding one module view that fills it.
struct HostedView {
    QmlHarness harness;
    QQuickWindow window;
    std::unique_ptr<QObject> object;

    QQuickItem *item() const { return qobject_cast<QQuickItem *>(object.get()); }
    bool load(const QString &url, QSize size, const QVariantMap &initial = {})
    {
        object = harness.createFile(url, initial);
        if (!item())
            return false;
        window.resize(size);
        window.setColor(Qt::black);
        item()->setParentItem(window.contentItem());
        item()->setSize(QSizeF(size));
        return true;
    }
    template <typename T = QObject>
    T *child(const char *objectName) const
    {
        return object ? object->findChild<T *>(QString::fromLatin1(objectName)) : nullptr;
    }
};

// Writes into <build>/effects-png/ and returns the path.
inline QString savePng(const QImage &img, const QString &name)
{
    const QString dir = QStringLiteral(CORVANE_BINARY_DIR "/effects-png");
    QDir().mkpath(dir);
    const QString path = dir + '/' + name;
    img.save(path);
    return path;
}

struct Rgb {
    double r, g, b;
    double luma() const { return 0.2126 * r + 0.7152 * g + 0.0722 * b; }
};

// Mean colour of a square patch, channels 0..1.
inline Rgb meanColor(const QImage &img, QPoint centre, int radius = 3)
{
    double r = 0, g = 0, b = 0;
    int n = 0;
    for (int y = centre.y() - radius; y <= centre.y() + radius; ++y)
        for (int x = centre.x() - radius; x <= centre.x() + radius; ++x) {
            if (!img.rect().contains(x, y))
                continue;
            const QColor c = img.pixelColor(x, y);
            r += c.redF();
            g += c.greenF();
            b += c.blueF();
            ++n;
        }
    if (n == 0)
        return {0, 0, 0};
    return {r / n, g / n, b / n};
}

} // namespace corvane::test
