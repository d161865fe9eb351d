// The evolution-data-server calendar store lives in a module of its own (libcorvane_eds.so):
// its libraries (EDS, libsoup, NSS, SQLite, libxml2…) cost a few megabytes resident from the
// start when linked in, and most sessions never read a calendar.
#include "common/Log.h"
#include "platform/CalendarStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>

namespace corvane {

namespace {
using OpenFn = CalendarStore *(*)();

// Beside the program (a build tree, the tests one level down), else where it is installed.
OpenFn loadModule()
{
    static const OpenFn open = []() -> OpenFn {
        QStringList dirs;
        if (QCoreApplication::instance()) {
            const QString app = QCoreApplication::applicationDirPath();
            dirs << app << app + QStringLiteral("/..");
        }
        dirs << QStringLiteral(CORVANE_MODULE_DIR);
        for (const QString &dir : dirs) {
            const QString path = QDir(dir).filePath(QStringLiteral("libcorvane_eds.so"));
            if (!QFileInfo::exists(path))
                continue;
            // Never closed: stores made by it may live until the end.
            void *lib = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
            if (!lib) {
                qCWarning(lcPlatform) << "calendar module could not be loaded:" << ::dlerror();
                continue;
            }
            if (auto fn = reinterpret_cast<OpenFn>(::dlsym(lib, "corvane_open_eds_calendar_store")))
                return fn;
        }
        qCInfo(lcPlatform) << "no calendar module: the desktop's calendars are read from their files";
        return nullptr;
    }();
    return open;
}
} // namespace

std::unique_ptr<CalendarStore> makeEdsCalendarStore()
{
    const OpenFn open = loadModule();
    return std::unique_ptr<CalendarStore>(open ? open() : nullptr);
}

} // namespace corvane
