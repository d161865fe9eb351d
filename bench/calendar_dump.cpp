// corvane_calendar_dump FILE START-DAY [WEEKS]
// Prints every occurrence of FILE in consecutive 7-day windows from START-DAY (yyyy-MM-dd,
// UTC midnight), one line each: window index, then "T <utc start> <utc end>" for timed
// events or "D <first day> <days>" for all-day ones, then the title. TZ decides local time.
#include "platform/linux/ICalParser.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimeZone>

#include <cstdio>

using namespace corvane;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FILE START-DAY [WEEKS]\n", argv[0]);
        return 2;
    }
    QFile f(QString::fromLocal8Bit(argv[1]));
    if (!f.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray text = f.readAll();
    const QDate first = QDate::fromString(QString::fromLatin1(argv[2]), Qt::ISODate);
    const int weeks = argc > 3 ? std::atoi(argv[3]) : 1;
    for (int w = 0; w < weeks; ++w) {
        const QDateTime from(first.addDays(7 * w), QTime(0, 0), QTimeZone::utc());
        for (const CalendarEvent &e : ical::occurrences(text, from, from.addDays(7))) {
            const QByteArray title = e.title.simplified().toUtf8();
            if (e.isAllDay)
                std::printf("%d D %s %lld %s\n", w, qPrintable(e.startDate.date().toString(Qt::ISODate)),
                            static_cast<long long>(e.startDate.date().daysTo(e.endDate.date())), title.constData());
            else
                std::printf("%d T %s %s %s\n", w, qPrintable(e.startDate.toUTC().toString(Qt::ISODate)),
                            qPrintable(e.endDate.toUTC().toString(Qt::ISODate)), title.constData());
        }
    }
    return 0;
}
