#include "gui_freeze_calendar.h"

#include "monitors/CalendarMonitor.h"
#include "platform/CalendarStore.h"
#include "platform/Clock.h"

#include <QDir>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <memory>

namespace corvane::bench {

bool writeBigCalendar(const QString &folder, int events)
{
    QDir().mkpath(folder);
    return QProcess::execute(QStringLiteral("python3"),
                             {QStringLiteral(CORVANE_BENCH_DIR "/calendars/make_big_calendar.py"),
                              folder + QStringLiteral("/big.ics"), QString::number(events)})
        == 0;
}

bool readCalendars(const QString &folder)
{
    // The interface keeps drawing meanwhile, as the strip's clock and figures do.
    QQmlEngine engine;
    QQuickWindow window;
    window.resize(600, 60);
    QQmlComponent c(&engine);
    c.setData("import QtQuick\nRectangle { width: 600; height: 60; color: \"#202020\"\n"
              "  Rectangle { width: 40; height: 40; color: \"teal\"\n"
              "    NumberAnimation on x { from: 0; to: 560; duration: 1000; loops: Animation.Infinite } } }",
              QUrl());
    std::unique_ptr<QObject> scene(c.create());
    if (auto *item = qobject_cast<QQuickItem *>(scene.get()))
        item->setParentItem(window.contentItem());
    window.show();
    CalendarMonitor monitor(makeIcsFileCalendarStore({}, {folder}), Clock::system(), true);
    return QTest::qWaitFor([&] { return monitor.authorized() && !monitor.refreshRunning(); }, 120'000);
}

} // namespace corvane::bench
