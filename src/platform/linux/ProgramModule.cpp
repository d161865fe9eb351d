#include "platform/ProgramModule.h"

#include "common/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>

namespace corvane {

void *programModuleSymbol(const char *fileName, const char *symbol)
{
    QStringList dirs;
    if (QCoreApplication::instance()) {
        const QString app = QCoreApplication::applicationDirPath();
        dirs << app << app + QStringLiteral("/..");
    }
    dirs << QStringLiteral(CORVANE_MODULE_DIR);
    for (const QString &dir : dirs) {
        const QString path = QDir(dir).filePath(QString::fromUtf8(fileName));
        if (!QFileInfo::exists(path))
            continue;
        void *lib = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!lib) {
            qCWarning(lcPlatform) << fileName << "could not be loaded:" << ::dlerror();
            continue;
        }
        if (void *fn = ::dlsym(lib, symbol))
            return fn;
        qCWarning(lcPlatform) << path << "has no" << symbol;
    }
    return nullptr;
}

} // namespace corvane
