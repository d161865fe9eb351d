// Build tool: renders the application icon's SVG to the PNG sizes of the hicolor theme.
//   render-icon <svg> <out-dir> <size>...   writes <out-dir>/<size>x<size>/<name>.png
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: render-icon <svg> <out-dir> <size>...\n");
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "render-icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString name = QFileInfo(QString::fromLocal8Bit(argv[1])).completeBaseName();
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        if (size <= 0 || size > 1024)
            return 2;
        QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        svg.render(&p);
        p.end();
        const QString dir = QString::fromLocal8Bit(argv[2]) + QStringLiteral("/%1x%1").arg(size);
        QDir().mkpath(dir);
        if (!img.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"))) {
            std::fprintf(stderr, "render-icon: cannot write %d px\n", size);
            return 1;
        }
    }
    return 0;
}
