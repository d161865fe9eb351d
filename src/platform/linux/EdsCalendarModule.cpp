// The evolution-data-server calendar store lives in a module of its own (libcorvane_eds.so):
// its libraries (EDS, libsoup, NSS, SQLite, libxml2…) cost a few megabytes resident from the
// start when linked in, and most sessions never read a calendar.
#include "common/Log.h"
#include "platform/CalendarStore.h"
#include "platform/ProgramModule.h"

namespace corvane {

namespace {
using OpenFn = CalendarStore *(*)();

OpenFn loadModule()
{
    static const OpenFn open = []() -> OpenFn {
        if (void *fn = programModuleSymbol("libcorvane_eds.so", "corvane_open_eds_calendar_store"))
            return reinterpret_cast<OpenFn>(fn);
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
