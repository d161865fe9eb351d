import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import QtQuick.Layouts
import QtQuick.Window
import Corvane

// The main window's content: the aurora behind a sidebar, a hairline and the selected
// tab's screen. Presents the onboarding sheet on first use.
Item {
    id: root

    // The hub; named appState because Item already has a state.
    readonly property var appState: AppState
    readonly property var themeManager: ThemeManager
    readonly property bool didFinishOnboarding: SettingsStore.didFinishOnboarding
    property alias hoverTab: sidebar.hoverTab
    property bool showOnboarding: false
    // The tab whose screen the content area holds now.
    readonly property string shownTab: content.currentItem ? content.currentItem.tabRaw : ""

    implicitWidth: 1180
    implicitHeight: 760

    function selectTab(raw) {
        Haptics.perform(Haptics.Alignment)
        AppState.tab = raw
    }

    function screenFor(raw) {
        switch (raw) {
        case "activity": return activityScreen
        case "ports": return portsScreen
        case "tests": return testsScreen
        case "crashes": return crashesScreen
        case "settings": return settingsScreen
        default: return liveScreen
        }
    }

    function showTab(raw) {
        // The hub announces every assignment; the same tab again keeps its screen.
        if (raw === shownTab)
            return
        if (content.depth === 0)
            content.push(screenFor(raw), {}, StackView.Immediate)
        else
            content.replace(screenFor(raw))
    }

    AnimatedBackground {
        anchors.fill: parent
        colors: AppPalette.backgroundColors
        objectName: "background"
        intensity: 0.55
        // The appearance settings.
        strength: SettingsStore.bgIntensity
        particles: SettingsStore.showParticles
        blur: 80
        useShader: true
        paused: AppState.visualsPaused
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        SidebarView {
            id: sidebar
            objectName: "sidebar"
            Layout.preferredWidth: 210
            Layout.fillHeight: true
            onTabChosen: (raw) => root.selectTab(raw)
        }

        Rectangle {
            objectName: "divider"
            Layout.preferredWidth: 1
            Layout.fillHeight: true
            color: Qt.rgba(1, 1, 1, 0.06)
        }

        StackView {
            id: content
            objectName: "content"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true

            // Screens fade in from the trailing edge and leave towards it.
            readonly property int swapMs: 350
            replaceEnter: Transition {
                ParallelAnimation {
                    NumberAnimation { property: "opacity"; from: 0; to: 1; duration: content.swapMs; easing.type: Easing.OutCubic }
                    NumberAnimation { property: "x"; from: content.width; to: 0; duration: content.swapMs; easing.type: Easing.OutCubic }
                }
            }
            replaceExit: Transition {
                ParallelAnimation {
                    NumberAnimation { property: "opacity"; from: 1; to: 0; duration: content.swapMs; easing.type: Easing.OutCubic }
                    NumberAnimation { property: "x"; from: 0; to: content.width; duration: content.swapMs; easing.type: Easing.OutCubic }
                }
            }
        }
    }

    Connections {
        target: AppState
        function onTabChanged() { root.showTab(AppState.tab) }
    }

    Component { id: liveScreen; DashboardView { readonly property string tabRaw: "live"; appState: AppState } }
    Component { id: activityScreen; ProcessesView { readonly property string tabRaw: "activity"; appState: AppState } }
    Component {
        id: portsScreen
        PortsView { readonly property string tabRaw: "ports"; appState: AppState; themeManager: ThemeManager; pixelTestDisplay: null }
    }
    Component { id: testsScreen; TestsView { readonly property string tabRaw: "tests"; appState: AppState; active: "" } }
    Component { id: crashesScreen; CrashLogView { readonly property string tabRaw: "crashes"; selection: "" } }
    Component { id: settingsScreen; SettingsView { readonly property string tabRaw: "settings" } }

    // The first-run sheet, shown 0.6 s after the view appears while onboarding is not done.
    Timer {
        id: onboardingDelay
        interval: 600
        onTriggered: root.showOnboarding = true
    }

    Popup {
        id: onboardingSheet
        objectName: "onboardingSheet"
        modal: true
        closePolicy: Popup.NoAutoClose
        padding: 0
        width: 720
        height: 560
        x: Math.round((root.width - width) / 2)
        y: Math.round((root.height - height) / 2)
        visible: root.showOnboarding
        onClosed: root.showOnboarding = false
        background: Item {}
        T.Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.45) }

        contentItem: Loader {
            active: root.showOnboarding
            sourceComponent: OnboardingView {
                clip: true
                onDismissRequested: root.showOnboarding = false
            }
        }
    }

    Component.onCompleted: {
        showTab(AppState.tab)
        if (!SettingsStore.didFinishOnboarding)
            onboardingDelay.start()
    }
}
