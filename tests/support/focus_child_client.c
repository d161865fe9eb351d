/* An X client that keeps its keyboard focus on a child window, as Java's toolkit and other
 * "globally active" programs do: its top-level takes no focus itself (input hint False) and
 * answers the manager's WM_TAKE_FOCUS by focusing the child.
 *
 *   focus_child_client X Y WIDTH HEIGHT
 *
 * Prints "windows <top-level> <child>" (decimal ids) once it has asked for its window to be
 * shown, then "keys <n>" after every key press the child receives. Ends on WM_DELETE_WINDOW or
 * a signal. */
#include <xcb/xcb.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), NULL);
    xcb_atom_t a = r ? r->atom : XCB_ATOM_NONE;
    free(r);
    return a;
}

int main(int argc, char **argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: %s X Y WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    const int x = atoi(argv[1]), y = atoi(argv[2]), width = atoi(argv[3]), height = atoi(argv[4]);
    xcb_connection_t *c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "no X display\n");
        return 1;
    }
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_atom_t protocols = atom(c, "WM_PROTOCOLS");
    const xcb_atom_t takeFocus = atom(c, "WM_TAKE_FOCUS");
    const xcb_atom_t deleteWindow = atom(c, "WM_DELETE_WINDOW");

    const xcb_window_t top = xcb_generate_id(c);
    const uint32_t topValues[] = {screen->white_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, top, screen->root, (int16_t)x, (int16_t)y, (uint16_t)width,
                      (uint16_t)height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, topValues);
    const xcb_window_t child = xcb_generate_id(c);
    const uint32_t childValues[] = {screen->black_pixel, XCB_EVENT_MASK_KEY_PRESS};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, child, top, 4, 4, (uint16_t)(width - 8), (uint16_t)(height - 8), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK,
                      childValues);

    /* WM_HINTS: flags InputHint | StateHint, input False, NormalState. */
    const uint32_t hints[9] = {1 | 2, 0, 1};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, top, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9, hints);
    /* WM_NORMAL_HINTS: USPosition | USSize, so the manager keeps the place asked for. */
    const uint32_t sizeHints[18] = {1 | 2, (uint32_t)x, (uint32_t)y, (uint32_t)width, (uint32_t)height};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, top, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18,
                        sizeHints);
    const xcb_atom_t supported[] = {takeFocus, deleteWindow};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, top, protocols, XCB_ATOM_ATOM, 32, 2, supported);
    xcb_map_window(c, child);
    xcb_map_window(c, top);
    xcb_flush(c);
    printf("windows %u %u\n", top, child);
    fflush(stdout);

    unsigned keys = 0;
    xcb_generic_event_t *ev;
    while ((ev = xcb_wait_for_event(c))) {
        const uint8_t type = ev->response_type & 0x7f;
        const xcb_client_message_event_t *cm = (const xcb_client_message_event_t *)ev;
        if (type == XCB_CLIENT_MESSAGE && cm->type == protocols && cm->data.data32[0] == takeFocus) {
            /* With the manager's time, as ICCCM asks: the server drops a stale request. */
            xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, child, cm->data.data32[1]);
            xcb_flush(c);
        } else if (type == XCB_CLIENT_MESSAGE && cm->type == protocols && cm->data.data32[0] == deleteWindow) {
            free(ev);
            break;
        } else if (type == XCB_KEY_PRESS && ((const xcb_key_press_event_t *)ev)->event == child) {
            printf("keys %u\n", ++keys);
            fflush(stdout);
        }
        free(ev);
    }
    xcb_disconnect(c);
    return 0;
}
