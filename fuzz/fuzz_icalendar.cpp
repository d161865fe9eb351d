// iCalendar files from the user's calendar folders, expanded over a month.
#include "platform/linux/ICalParser.h"

#include <QDateTime>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QDateTime from(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    static const QDateTime to = from.addDays(31);
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)corvane::ical::occurrences(text, from, to);
    return 0;
}
