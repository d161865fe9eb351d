#include "platform/ProgramModule.h"

#include "common/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>

namespace corvane {

namespace {

// Where to look, first match wins: the installed layout relative to the program (an install
// moved to another prefix at `cmake --install` time keeps it), the configure-time folder, and
// a build tree (modules at its top; the tests run one level down). A program running from a
// build tree takes that tree's modules before an installed copy, which may be older.
QStringList moduleDirs()
{
    QStringList dirs;
    QStringList buildTree;
    if (QCoreApplication::instance()) {
        const QString app = QCoreApplication::applicationDirPath();
        dirs << QDir::cleanPath(app + QStringLiteral("/" CORVANE_MODULE_RELDIR));
        for (const QString &top : {app, QDir::cleanPath(app + QStringLiteral("/.."))}) {
            if (QFileInfo::exists(top + QStringLiteral("/CMakeCache.txt")))
                buildTree << top;
        }
    }
    return buildTree + dirs + QStringList{QStringLiteral(CORVANE_MODULE_DIR)};
}

} // namespace

void *programModuleSymbol(const char *fileName, const char *symbol)
{
    for (const QString &dir : moduleDirs()) {
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
