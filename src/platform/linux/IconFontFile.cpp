#include "platform/IconFontFile.h"

#include <QFileInfo>
#include <QResource>

namespace corvane {

QString iconFontFile(const QString &installed, const QString &embedded)
{
    const QFileInfo file(installed);
    // The resource may be stored compressed: compare with the size it unpacks to.
    const QResource res(embedded);
    const qint64 builtIn = res.isValid() ? res.uncompressedSize() : -1;
    if (file.isFile() && file.isReadable() && builtIn > 0 && file.size() == builtIn)
        return installed;
    return embedded;
}

} // namespace corvane
