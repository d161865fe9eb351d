import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The activity tab: the busiest processes by CPU and by memory with a terminate action on
// every row, the battery history, and the camera and microphone history.
Item {
    id: screen
    property var appState: AppState
    property var notifier: PrivacyNotifier
    property var themeManager: ThemeManager
    // The history the battery card charts.
    property var batteryHistory: BatteryHistory
    // Holds the process under confirmation and signals it; made on first use unless given.
    property var terminator: null
    // The process waiting for a kill confirmation ({id, pid, name}; null for none).
    property var pendingKill: null
    property bool killForce: false
    property string killError: ""

    readonly property double ramTotal: appState && appState.system ? appState.system.ramTotalBytes : 0

    function askToTerminate(proc) {
        // A row can outlive its process: the start time tells whether its pid still names it,
        // and a process that has ended since is said, not asked about.
        const refusal = terminator.hold(proc.name, proc.pid, proc.startTime)
        if (refusal !== "") {
            killError = refusal
            return
        }
        pendingKill = { id: proc.id, pid: proc.pid, name: proc.name, startTime: proc.startTime }
    }

    function terminatePending(force) {
        if (pendingKill !== null) {
            killForce = force
            const error = terminator.terminate(pendingKill.name, pendingKill.pid, pendingKill.startTime, force)
            if (error !== "")
                killError = error
        }
        pendingKill = null
    }

    onPendingKillChanged: {
        if (pendingKill !== null) {
            confirmAlert.open()
        } else {
            terminator.release()
            if (confirmAlert.opened)
                confirmAlert.close()
        }
    }
    onKillErrorChanged: if (killError !== "") errorAlert.open()

    Component.onCompleted: if (terminator === null) terminator = ownTerminator.createObject(screen)
    Component { id: ownTerminator; ProcessTerminator {} }
    // A signalled process that did not end is an error like a refused signal.
    Connections {
        target: screen.terminator
        function onStillRunning(message) { screen.killError = message }
    }

    KeepsPlace {
        flickable: scroller
        key: "activity"
    }

    Flickable {
        id: scroller
        objectName: "scroller"
        anchors.fill: parent
        contentWidth: width
        contentHeight: page.implicitHeight + 48
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn }

        ColumnLayout {
            id: page
            x: Math.max(0, (scroller.width - width) / 2)
            y: 24
            width: Math.min(scroller.width, 1180) - 48
            spacing: 18

            ColumnLayout {
                spacing: 4
                Text {
                    objectName: "sectionTitle"
                    text: "CORVANE · ACTIVITATE"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 10
                    font.weight: Font.Black
                    font.letterSpacing: 2.5
                    color: AppPalette.textSecondary
                }
                Text {
                    objectName: "header"
                    text: "Top procese & log privacy"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 26
                    font.bold: true
                    color: "white"
                }
                Text {
                    objectName: "processCount"
                    text: TabText.processCountText(screen.appState.processes.totalProcesses)
                    textFormat: Text.PlainText
                    font.family: "Inter"
                    font.pixelSize: 11
                    color: AppPalette.textSecondary
                }
            }

            GridLayout {
                Layout.fillWidth: true
                columns: 2
                columnSpacing: 14
                rowSpacing: 14

                Repeater {
                    model: [
                        { key: "cpu", title: "TOP CPU", icon: "cpu", memory: false },
                        { key: "ram", title: "TOP RAM", icon: "memorychip", memory: true }
                    ]
                    delegate: HoverGlassCard {
                        id: processCard
                        required property var modelData
                        objectName: "card_" + modelData.key
                        readonly property bool isMemory: modelData.memory
                        readonly property color rowColor: isMemory ? ThemeManager.good : ThemeManager.accent
                        Layout.fillWidth: true
                        Layout.preferredWidth: 10
                        Layout.alignment: Qt.AlignTop
                        title: modelData.title
                        icon: modelData.icon
                        accent: isMemory ? AppPalette.ramGradient : AppPalette.cpuGradient
                        accentColor: rowColor
                        // The row whose terminate button is down. Until it is up, and the click
                        // it brings handled, the rows hold still: the release lands on that row.
                        property Item pressedRow: null
                        function letGo() {
                            if (pressedRow !== null && !pressedRow.terminatePressed)
                                pressedRow = null
                        }

                        Column {
                            width: parent.width
                            spacing: 6
                            Repeater {
                                model: KeyedListModel {
                                    limit: 8
                                    held: processCard.pressedRow !== null
                                    items: processCard.isMemory ? screen.appState.processes.topByRAM
                                                                : screen.appState.processes.topByCPU
                                }
                                delegate: ProcessRow {
                                    id: processRow
                                    required property var item
                                    width: parent.width
                                    proc: item
                                    isMemory: processCard.isMemory
                                    rowColor: processCard.rowColor
                                    ramTotal: screen.ramTotal
                                    onTerminateRequested: (target) => screen.askToTerminate(target)
                                    onTerminatePressedChanged: {
                                        if (terminatePressed)
                                            processCard.pressedRow = processRow
                                        else
                                            Qt.callLater(processCard.letGo)
                                    }
                                }
                            }
                        }
                    }
                }
            }

            BatteryHistoryCard {
                objectName: "batteryCard"
                Layout.fillWidth: true
                history: screen.batteryHistory
                days: 30
            }

            HoverGlassCard {
                objectName: "privacyCard"
                Layout.fillWidth: true
                title: "ISTORIC CAMERĂ & MICROFON"
                icon: "eye.slash"
                accent: AppPalette.alertGradient
                accentColor: ThemeManager.critical

                Column {
                    width: parent.width
                    spacing: 8

                    Column {
                        objectName: "privacyEmpty"
                        visible: eventModel.count === 0
                        width: parent.width
                        topPadding: 24
                        bottomPadding: 24
                        spacing: 8
                        SymbolIcon {
                            anchors.horizontalCenter: parent.horizontalCenter
                            symbol: "checkmark.shield.fill"
                            pointSize: 26
                            color: ThemeManager.good
                        }
                        Text {
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: "Niciun eveniment înregistrat"
                            textFormat: Text.PlainText
                            font.family: "Inter"
                            font.pixelSize: 13
                            color: AppPalette.textSecondary
                        }
                    }

                    Repeater {
                        model: KeyedListModel {
                            id: eventModel
                            limit: 25
                            items: screen.notifier ? screen.notifier.history : []
                        }
                        delegate: PrivacyEventRow {
                            required property var item
                            width: parent.width
                            event: item
                        }
                    }
                }
            }
        }
    }

    TabAlert {
        id: confirmAlert
        objectName: "confirmAlert"
        title: "Închide procesul?"
        message: screen.pendingKill === null ? ""
                 : screen.pendingKill.name + " (pid " + screen.pendingKill.pid + ")\n"
                   + "Nu vei putea opri procese ale altor utilizatori fără sudo."
        buttons: [
            { text: "Anulează", role: "cancel" },
            { text: "Închide elegant (SIGTERM)", role: "" },
            { text: "Forțează (SIGKILL)", role: "destructive" }
        ]
        onChosen: (index) => {
            if (index === 0)
                screen.pendingKill = null
            else
                screen.terminatePending(index === 2)
        }
        onDismissed: screen.pendingKill = null
    }

    TabAlert {
        id: errorAlert
        objectName: "errorAlert"
        title: "Eroare"
        message: screen.killError
        buttons: [{ text: "OK", role: "cancel" }]
        onChosen: screen.killError = ""
        onDismissed: screen.killError = ""
    }
}
