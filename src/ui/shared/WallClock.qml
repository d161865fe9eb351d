import QtQuick

// The clock the sidebar, the strip and the dashboard show. While it runs it steps with the
// system monitor's whole-second snapshot, so a surface changes once a second, in one frame;
// whenever no snapshot comes its own timer carries it on at the wall clock's whole second.
Timer {
    id: clock

    // The latest tick; bindings that read it follow the clock.
    property date now: new Date()
    // Whose whole-second snapshots the clock steps with (the hub's system monitor).
    property var steps: null

    repeat: false
    interval: 1000 - new Date().getMilliseconds()
    onRunningChanged: if (running) now = new Date()
    onTriggered: {
        now = new Date()
        interval = 1000 - now.getMilliseconds()
        restart()
    }

    readonly property Connections snapshots: Connections {
        target: clock.steps
        enabled: clock.running
        function onUpdated() {
            clock.now = new Date()
            clock.interval = 1500
            clock.restart()
        }
    }
}
