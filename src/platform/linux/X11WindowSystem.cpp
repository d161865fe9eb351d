#include "platform/WindowSystem.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QSet>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace corvane {
namespace {

class QtOnlyWindowSystem : public WindowSystem {
public:
    void makeBarPanel(QWindow *) override {}
    void setDesktopPinned(QWindow *, bool) override {}
    void activate(QWindow *w) override
    {
        w->raise();
        w->requestActivate();
    }
};

class X11WindowSystem final : public QtOnlyWindowSystem, public QAbstractNativeEventFilter {
public:
    explicit X11WindowSystem(xcb_connection_t *c) : m_conn(c)
    {
        const xcb_setup_t *setup = xcb_get_setup(c);
        m_root = xcb_setup_roots_iterator(setup).data->root;
    }
    ~X11WindowSystem() override
    {
        if (m_filtering && QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    void makeBarPanel(QWindow *w) override
    {
        const xcb_window_t win = static_cast<xcb_window_t>(w->winId());
        const xcb_atom_t dock = atom("_NET_WM_WINDOW_TYPE_DOCK");
        xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, win, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1,
                            &dock);
        setStates(w, {atom("_NET_WM_STATE_STICKY"), atom("_NET_WM_STATE_SKIP_TASKBAR"),
                      atom("_NET_WM_STATE_SKIP_PAGER"), atom("_NET_WM_STATE_ABOVE")},
                  true);
        setDesktop(w, true);
        xcb_flush(m_conn);
    }

    void setDesktopPinned(QWindow *w, bool pinned) override
    {
        setStates(w, {atom("_NET_WM_STATE_STICKY"), atom("_NET_WM_STATE_SKIP_TASKBAR"),
                      atom("_NET_WM_STATE_SKIP_PAGER"), atom("_NET_WM_STATE_BELOW")},
                  pinned);
        setDesktop(w, pinned);
        xcb_flush(m_conn);
    }

    void keepOutOfTaskbar(QWindow *w) override
    {
        setStates(w, {atom("_NET_WM_STATE_SKIP_TASKBAR"), atom("_NET_WM_STATE_SKIP_PAGER")}, true);
        xcb_flush(m_conn);
    }

    // The manager may hand the focus on after it gave it (a window of ours that held it going
    // away makes it pass the focus to another, or to nobody), and a request carrying a time
    // older than that change is dropped by the X server. While nobody else holds the focus,
    // the window asks again with a fresh time and takes it itself.
    void activate(QWindow *w) override
    {
        QtOnlyWindowSystem::activate(w);
        filterRootEvents();
        m_focusWanted = w;
        m_focusRetries = 3;
    }

    void watchPanels(QObject *context, std::function<void()> changed) override
    {
        filterRootEvents();
        m_watchers.push_back({QPointer<QObject>(context), std::move(changed)});
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *ev = static_cast<const xcb_generic_event_t *>(message);
        if ((ev->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
            return false;
        const auto *pn = static_cast<const xcb_property_notify_event_t *>(message);
        if (pn->atom == m_timeAtom) {
            takeFocus(pn->window, pn->time);
            return true;
        }
        if (pn->window != m_root)
            return false;
        if (pn->atom == m_activeWindow)
            followActiveWindow();
        if (pn->atom != m_workArea && pn->atom != m_clientList)
            return false;
        std::erase_if(m_watchers, [](const Watcher &w) { return w.context.isNull(); });
        // Called after this event has been handled: Qt reads the new work area from it.
        for (const Watcher &w : m_watchers)
            QMetaObject::invokeMethod(w.context, w.changed, Qt::QueuedConnection);
        return false;
    }

    QList<QRect> panels() override
    {
        QList<QRect> out;
        const xcb_atom_t typeAtom = atom("_NET_WM_WINDOW_TYPE");
        const xcb_atom_t dock = atom("_NET_WM_WINDOW_TYPE_DOCK");
        QSet<xcb_window_t> ours;
        for (QWindow *w : QGuiApplication::allWindows())
            if (w->handle())
                ours.insert(static_cast<xcb_window_t>(w->winId()));
        const qreal dpr = qGuiApp->devicePixelRatio();
        for (xcb_window_t win : topLevels()) {
            if (ours.contains(win) || !hasAtom(win, typeAtom, dock))
                continue;
            xcb_get_window_attributes_reply_t *attrs =
                xcb_get_window_attributes_reply(m_conn, xcb_get_window_attributes(m_conn, win), nullptr);
            const bool viewable = attrs && attrs->map_state == XCB_MAP_STATE_VIEWABLE;
            free(attrs);
            xcb_get_geometry_reply_t *geo = viewable ? xcb_get_geometry_reply(m_conn, xcb_get_geometry(m_conn, win), nullptr) : nullptr;
            xcb_translate_coordinates_reply_t *at =
                geo ? xcb_translate_coordinates_reply(m_conn, xcb_translate_coordinates(m_conn, win, m_root, 0, 0), nullptr)
                    : nullptr;
            if (geo && at)
                out << QRect(qRound(at->dst_x / dpr), qRound(at->dst_y / dpr), qRound(geo->width / dpr),
                             qRound(geo->height / dpr));
            free(at);
            free(geo);
        }
        return out;
    }

private:
    void filterRootEvents()
    {
        if (m_filtering)
            return;
        m_workArea = atom("_NET_WORKAREA");
        m_clientList = atom("_NET_CLIENT_LIST");
        m_activeWindow = atom("_NET_ACTIVE_WINDOW");
        m_timeAtom = atom("_CORVANE_FOCUS_TIME");
        QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, &m_context,
                         [this](QWindow *now) { focusWindowChanged(now); });
        // The root's property changes reach us only if we asked for them (Qt does, but another
        // client's choice is no promise).
        xcb_get_window_attributes_reply_t *attrs =
            xcb_get_window_attributes_reply(m_conn, xcb_get_window_attributes(m_conn, m_root), nullptr);
        if (attrs && !(attrs->your_event_mask & XCB_EVENT_MASK_PROPERTY_CHANGE)) {
            const uint32_t mask = attrs->your_event_mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);
            xcb_flush(m_conn);
        }
        free(attrs);
        QCoreApplication::instance()->installNativeEventFilter(this);
        m_filtering = true;
    }

    void followActiveWindow()
    {
        if (m_focusWanted && activeWindow() == XCB_NONE)
            askFocusAgain();
    }

    // Qt saw the focus leave the window it was asked for.
    void focusWindowChanged(QWindow *now)
    {
        if (!now && m_focusWanted)
            askFocusAgain();
    }

    // Asks again while nobody holds the focus; once another program holds it, the window
    // stops wanting it. The time comes back with a property change.
    void askFocusAgain()
    {
        QWindow *w = m_focusWanted.data();
        if (!w || !w->isVisible() || !w->handle() || w->isActive())
            return;
        if (focusHolder() == Holder::Another) {
            m_focusWanted = nullptr;
            return;
        }
        if (m_focusRetries <= 0)
            return;
        --m_focusRetries;
        xcb_change_property(m_conn, XCB_PROP_MODE_APPEND, static_cast<xcb_window_t>(w->winId()), m_timeAtom,
                            XCB_ATOM_CARDINAL, 32, 0, nullptr);
        xcb_flush(m_conn);
    }

    enum class Holder { Nobody, Us, Another };

    // Who has the keyboard (ICCCM). Nobody while the focus is None, PointerRoot, the root or a
    // window of the manager's own (where a manager parks it when it gives it to no client) and
    // the manager names no other program's window active. A window inside another client's
    // top-level is that client's: Java's toolkit and other "globally active" programs keep
    // the focus on a child window of their own.
    Holder focusHolder()
    {
        xcb_get_input_focus_reply_t *f = xcb_get_input_focus_reply(m_conn, xcb_get_input_focus(m_conn), nullptr);
        const xcb_window_t focus = f ? f->focus : xcb_window_t(XCB_NONE);
        free(f);
        const Holder holder =
            focus > XCB_INPUT_FOCUS_POINTER_ROOT && focus != m_root ? windowHolder(focus) : Holder::Nobody;
        if (holder != Holder::Nobody)
            return holder;
        const xcb_window_t active = activeWindow();
        return active != XCB_NONE && !ours(active) ? Holder::Another : Holder::Nobody;
    }

    // Walks up from `win` to the first window of ours or a managed client; an unmanaged
    // top-level is the manager's own or another program's (a launcher's popup, say).
    Holder windowHolder(xcb_window_t win)
    {
        const std::vector<xcb_window_t> clients = topLevels();
        for (int depth = 0; depth < 64 && win != XCB_NONE && win != m_root; ++depth) {
            if (ours(win))
                return Holder::Us;
            if (std::find(clients.begin(), clients.end(), win) != clients.end())
                return Holder::Another;
            xcb_query_tree_reply_t *tree = xcb_query_tree_reply(m_conn, xcb_query_tree(m_conn, win), nullptr);
            const xcb_window_t parent = tree ? tree->parent : xcb_window_t(XCB_NONE);
            free(tree);
            if (parent == m_root)
                return managersOwn(win) ? Holder::Nobody : Holder::Another;
            win = parent;
        }
        return Holder::Nobody; // gone while we looked
    }

    // The X server hands each client one range of resource ids: a window in the range of the
    // manager's check window was made by the manager.
    bool managersOwn(xcb_window_t win)
    {
        xcb_window_t check = XCB_NONE;
        auto cookie = xcb_get_property(m_conn, 0, m_root, atom("_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW, 0, 1);
        xcb_get_property_reply_t *r = xcb_get_property_reply(m_conn, cookie, nullptr);
        if (r && r->format == 32 && xcb_get_property_value_length(r) >= 4)
            check = *static_cast<const xcb_window_t *>(xcb_get_property_value(r));
        free(r);
        const uint32_t clientBits = ~xcb_get_setup(m_conn)->resource_id_mask;
        return check != XCB_NONE && (win & clientBits) == (check & clientBits);
    }

    xcb_window_t activeWindow()
    {
        xcb_window_t active = XCB_NONE;
        auto cookie = xcb_get_property(m_conn, 0, m_root, m_activeWindow, XCB_ATOM_WINDOW, 0, 1);
        xcb_get_property_reply_t *r = xcb_get_property_reply(m_conn, cookie, nullptr);
        if (r && r->format == 32 && xcb_get_property_value_length(r) >= 4)
            active = *static_cast<const xcb_window_t *>(xcb_get_property_value(r));
        free(r);
        return active;
    }

    // A client message to the manager about one of our windows (EWMH: sent to the root).
    void tellManager(xcb_window_t win, xcb_atom_t type, std::initializer_list<uint32_t> data)
    {
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = win;
        ev.type = type;
        std::copy(data.begin(), data.end(), ev.data.data32);
        xcb_send_event(m_conn, 0, m_root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&ev));
    }

    void takeFocus(xcb_window_t win, xcb_timestamp_t time)
    {
        QWindow *w = m_focusWanted.data();
        if (!w || !w->handle() || static_cast<xcb_window_t>(w->winId()) != win || !w->isExposed() || w->isActive())
            return;
        // Another program may have taken the focus since the window asked.
        if (focusHolder() == Holder::Another) {
            m_focusWanted = nullptr;
            return;
        }
        // The manager learns of it (and raises the window); the focus itself is set at once, as
        // a manager that thinks the window already has it ignores the request.
        tellManager(win, m_activeWindow, {1, time}); // 1: from an application
        xcb_set_input_focus(m_conn, XCB_INPUT_FOCUS_PARENT, win, time);
        xcb_flush(m_conn);
    }

    bool ours(xcb_window_t win) const
    {
        for (QWindow *w : QGuiApplication::allWindows())
            if (w->handle() && static_cast<xcb_window_t>(w->winId()) == win)
                return true;
        return false;
    }

    // The managed windows the manager lists; without a manager, the root's children.
    std::vector<xcb_window_t> topLevels()
    {
        std::vector<xcb_window_t> out;
        auto cookie = xcb_get_property(m_conn, 0, m_root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 0, 4096);
        xcb_get_property_reply_t *r = xcb_get_property_reply(m_conn, cookie, nullptr);
        if (r && r->format == 32 && r->type == XCB_ATOM_WINDOW) {
            const auto *v = static_cast<const xcb_window_t *>(xcb_get_property_value(r));
            out.assign(v, v + xcb_get_property_value_length(r) / 4);
        }
        free(r);
        if (!out.empty())
            return out;
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(m_conn, xcb_query_tree(m_conn, m_root), nullptr);
        if (tree) {
            const xcb_window_t *children = xcb_query_tree_children(tree);
            out.assign(children, children + xcb_query_tree_children_length(tree));
        }
        free(tree);
        return out;
    }

    // The atoms a window's ATOM-list property holds (_NET_WM_STATE, _NET_WM_WINDOW_TYPE).
    std::vector<xcb_atom_t> atomList(xcb_window_t win, xcb_atom_t property)
    {
        std::vector<xcb_atom_t> out;
        auto cookie = xcb_get_property(m_conn, 0, win, property, XCB_ATOM_ATOM, 0, 64);
        xcb_get_property_reply_t *r = xcb_get_property_reply(m_conn, cookie, nullptr);
        if (r && r->format == 32 && r->type == XCB_ATOM_ATOM) {
            const auto *v = static_cast<const xcb_atom_t *>(xcb_get_property_value(r));
            out.assign(v, v + xcb_get_property_value_length(r) / 4);
        }
        free(r);
        return out;
    }

    bool hasAtom(xcb_window_t win, xcb_atom_t property, xcb_atom_t value)
    {
        const std::vector<xcb_atom_t> atoms = atomList(win, property);
        return std::find(atoms.begin(), atoms.end(), value) != atoms.end();
    }

    xcb_atom_t atom(const char *name)
    {
        auto cookie = xcb_intern_atom(m_conn, 0, static_cast<uint16_t>(std::strlen(name)), name);
        xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(m_conn, cookie, nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
        free(r);
        return a;
    }

    std::vector<xcb_atom_t> currentStates(xcb_window_t win) { return atomList(win, atom("_NET_WM_STATE")); }

    // Mapped windows are changed through the window manager; the property is also kept
    // up to date so the next map (and a session without a manager) sees the same states.
    void setStates(QWindow *w, const std::vector<xcb_atom_t> &states, bool add)
    {
        const xcb_window_t win = static_cast<xcb_window_t>(w->winId());
        std::vector<xcb_atom_t> cur = currentStates(win);
        for (xcb_atom_t s : states) {
            auto it = std::find(cur.begin(), cur.end(), s);
            if (add && it == cur.end())
                cur.push_back(s);
            if (!add && it != cur.end())
                cur.erase(it);
        }
        xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, win, atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32,
                            static_cast<uint32_t>(cur.size()), cur.data());
        if (!w->isVisible())
            return;
        for (size_t i = 0; i < states.size(); i += 2) {
            // 1 at the end: from a normal application
            tellManager(win, atom("_NET_WM_STATE"),
                        {add ? 1u : 0u, states[i], i + 1 < states.size() ? states[i + 1] : 0u, 1});
        }
    }

    // _NET_WM_DESKTOP 0xFFFFFFFF = on every desktop. A mapped window asks the manager (which
    // owns the property then); leaving puts it on the desktop in view.
    void setDesktop(QWindow *w, bool all)
    {
        const xcb_window_t win = static_cast<xcb_window_t>(w->winId());
        const xcb_atom_t prop = atom("_NET_WM_DESKTOP");
        if (all) {
            const uint32_t every = 0xFFFFFFFFu;
            xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, win, prop, XCB_ATOM_CARDINAL, 32, 1, &every);
        } else {
            xcb_delete_property(m_conn, win, prop);
        }
        if (!w->isVisible())
            return;
        tellManager(win, prop, {all ? 0xFFFFFFFFu : currentDesktop(), 1}); // 1: from a normal application
    }

    uint32_t currentDesktop()
    {
        uint32_t desktop = 0;
        auto cookie = xcb_get_property(m_conn, 0, m_root, atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, 0, 1);
        xcb_get_property_reply_t *r = xcb_get_property_reply(m_conn, cookie, nullptr);
        if (r && r->format == 32 && xcb_get_property_value_length(r) >= 4)
            desktop = *static_cast<const uint32_t *>(xcb_get_property_value(r));
        free(r);
        return desktop;
    }

    struct Watcher {
        QPointer<QObject> context;
        std::function<void()> changed;
    };

    xcb_connection_t *m_conn;
    xcb_window_t m_root;
    bool m_filtering = false;
    xcb_atom_t m_workArea = XCB_ATOM_NONE;
    xcb_atom_t m_clientList = XCB_ATOM_NONE;
    xcb_atom_t m_activeWindow = XCB_ATOM_NONE;
    xcb_atom_t m_timeAtom = XCB_ATOM_NONE;
    QObject m_context; // ends the connections made for this object
    std::vector<Watcher> m_watchers;
    QPointer<QWindow> m_focusWanted;
    int m_focusRetries = 0;
};

} // namespace

std::unique_ptr<WindowSystem> makeWindowSystem()
{
    if (QGuiApplication::platformName() == u"xcb") {
        if (auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
            if (xcb_connection_t *c = x11->connection())
                return std::make_unique<X11WindowSystem>(c);
    }
    return std::make_unique<QtOnlyWindowSystem>();
}

} // namespace corvane
