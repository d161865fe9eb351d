import QtQuick
import Corvane

// The clock the sidebar, the strip and the dashboard show. While it runs it steps with the
// system monitor's whole-second snapshot, so a surface changes once a second, in one frame;
// whenever no snapshot comes its own timer carries it on at the wall clock's whole second.
Timer {
    id: clock

    // The latest tick; bindings that read it follow the clock.
    property date now: WallTime.now()
    // Whose whole-second snapshots the clock steps with (the hub's system monitor).
    property var steps: null

    repeat: false
    interval: 1000 - WallTime.now().getMilliseconds()
    onRunningChanged: if (running) now = WallTime.now()
    onTriggered: {
        now = WallTime.now()
        interval = 1000 - now.getMilliseconds()
        restart()
    }

    readonly property Connections snapshots: Connections {
        target: clock.steps
        enabled: clock.running
        function onUpdated() {
            clock.now = WallTime.now()
            clock.interval = 1500
            clock.restart()
        }
    }
}
