#pragma once
// The tray icon (the menu-bar extra): brand mark plus the CPU temperature, a popup on
// activation and the "Widget" commands in its context menu.
#include "app/AppDelegate.h"

#include <QIcon>
#include <QObject>
#include <QPointer>

class QMenu;
class QQuickWindow;
class QSystemTrayIcon;

namespace corvane {

class StatusNotifierItem;
class StatusNotifierWatch;

class MenuBarExtra : public QObject {
    Q_OBJECT
public:
    // The popup is built by the delegate's engine.
    MenuBarExtra(AppState *state, AppDelegate *delegate, QObject *parent = nullptr);
    ~MenuBarExtra() override;

    // "47°" for 47.8 °C; empty at 0 or below (no reading) and for non-finite values.
    static QString labelText(double cpuTemp);
    // The icon with the label drawn into it.
    static QIcon menuBarIcon(double cpuTemp);
    // The brand mark, white on transparent, `side` pixels square; null if the asset is missing.
    static QImage brandMark(int side);
    QMenu *contextMenu() const { return m_menu; }

    void setCpuTemp(double celsius);
    // Whether a tray is there now: asked each time, as a panel may come or go at any moment.
    bool isAvailable() const;
    QQuickWindow *popupWindow() const { return m_popup; }
    // Opens the popup by the icon (or at `near`, where the tray clicked), or closes it.
    void togglePopup(QPoint near = {});

signals:
    void availabilityChanged(bool available);

private slots:
    void trayHostChanged();

private:
    void popupVisibilityChanged(bool visible);

    AppState *m_state;
    AppDelegate *m_delegate;
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_menu = nullptr;
    // Qt chose a StatusNotifier watcher for its icon (one was there when the icon was made).
    bool m_qtOnWatcher = false;
    StatusNotifierWatch *m_watch = nullptr;
    // Ours, for a watcher that came after Qt chose an XEmbed tray.
    StatusNotifierItem *m_item = nullptr;
    QPointer<QQuickWindow> m_popup;
    QString m_label;
    bool m_hostSeen = false;
};

} // namespace corvane
