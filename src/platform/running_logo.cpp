#include "running_logo.h"
#include "x11_properties.h"

#include <unistd.h>

// The mark carries the user's id, so another user's logo on a shared display is never taken.
void MarkAsRunningLogo(QWidget* window) {
    const xcb_window_t id = X11::NativeWindow(window);
    if (!id)
        return;
    xcb_connection_t* c = X11::Connection();
    X11::SetProperty32(c, id, "_LUMIVISTA_LOGO", XCB_ATOM_CARDINAL, {uint32_t(getuid())});
    xcb_flush(c);
}

bool ActivateRunningLogo() {
    xcb_connection_t* c = X11::Connection();
    if (!c)
        return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    for (uint32_t client : X11::Property32(c, root, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW)) {
        const std::vector<uint32_t> mark =
            X11::Property32(c, client, "_LUMIVISTA_LOGO", XCB_ATOM_CARDINAL);
        if (mark.size() != 1 || mark[0] != uint32_t(getuid()))
            continue;
        // Source 2: the request comes from the user's own action (a start from the menu or a
        // shortcut), as a pager's does, so focus-stealing prevention lets it through.
        constexpr uint32_t FromUserAction = 2;
        X11::TellWindowManager(c, client, "_NET_ACTIVE_WINDOW",
                               {FromUserAction, XCB_CURRENT_TIME, 0});
        xcb_flush(c);
        return true;
    }
    return false;
}
