#include "ui/shared/Assets.h"

#include <QFile>
#include <QRegularExpression>

namespace corvane {

QUrl Assets::imageUrl(const QString &name)
{
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_-]+$"));
    if (!valid.match(name).hasMatch())
        return {};
    const QString path = QStringLiteral(":/images/%1.svg").arg(name);
    return QFile::exists(path) ? QUrl(QStringLiteral("qrc") + path) : QUrl();
}

} // namespace corvane
