#pragma once
// The few X11 requests the window-manager helpers share, through Qt's own X connection: atoms,
// window properties and the window manager's client messages. Off X11 there is no connection
// and no window, and the callers do nothing.

#include <QByteArray>

#include <xcb/xcb.h>

#include <initializer_list>
#include <vector>

class QWidget;

namespace X11 {

// The X connection when the program runs on X11; null offscreen and elsewhere.
xcb_connection_t* Connection();

// Interns all the names at once, so that they cost one round trip to the server, not one each.
void InternAtoms(xcb_connection_t* c, std::initializer_list<const char*> names);
xcb_atom_t Atom(xcb_connection_t* c, const char* name);

// The top-level's X window, created when it does not exist yet; 0 off X11.
xcb_window_t NativeWindow(QWidget* window);
xcb_window_t RootOf(xcb_connection_t* c, xcb_window_t window);

std::vector<uint32_t> Property32(xcb_connection_t* c, xcb_window_t window, const char* name,
                                 xcb_atom_t type);
void SetProperty32(xcb_connection_t* c, xcb_window_t window, const char* name, xcb_atom_t type,
                   const std::vector<uint32_t>& values);
void SetPropertyBytes(xcb_connection_t* c, xcb_window_t window, const char* name, xcb_atom_t type,
                      const QByteArray& bytes);

// A request to the window manager about one of our windows (EWMH client message).
void TellWindowManager(xcb_connection_t* c, xcb_window_t window, const char* message,
                       std::initializer_list<uint32_t> data);

} // namespace X11
