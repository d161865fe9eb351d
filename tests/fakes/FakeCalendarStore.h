#pragma once
#include "platform/CalendarStore.h"

#include <atomic>
#include <functional>
#include <mutex>

namespace corvane::test {

// Events handed out as a real store would: those overlapping the asked range, in list order.
class FakeCalendarStore final : public CalendarStore {
public:
    bool authorized = false;
    CalendarAccess accessAnswer;
    QStringList calendarIds = {QStringLiteral("cal")};
    QList<CalendarEvent> all;
    std::atomic<int> queries{0};
    // Runs on the calendar thread inside each query, e.g. to hold it until released or stopped.
    std::function<void(std::stop_token)> duringQuery;

    bool isAuthorized() override { return authorized; }
    CalendarAccess requestAccess() override { return accessAnswer; }
    QStringList calendars(std::stop_token = {}) override { return calendarIds; }
    QList<CalendarEvent> events(const QDateTime &start, const QDateTime &end, const QStringList &cals, std::stop_token stop) override
    {
        ++queries;
        if (duringQuery)
            duringQuery(stop);
        QList<CalendarEvent> out;
        if (cals.isEmpty())
            return out;
        for (const CalendarEvent &e : all)
            if (e.startDate < end && e.endDate > start)
                out.append(e);
        return out;
    }
};

} // namespace corvane::test
