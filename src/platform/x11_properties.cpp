#include "x11_properties.h"

#include <QGuiApplication>
#include <QHash>
#include <QWidget>

#include <cstdlib>
#include <cstring>

namespace {
QHash<QByteArray, xcb_atom_t>& knownAtoms() {
    static QHash<QByteArray, xcb_atom_t> known;
    return known;
}
} // namespace

namespace X11 {

xcb_connection_t* Connection() {
    if (!qGuiApp)
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

void InternAtoms(xcb_connection_t* c, std::initializer_list<const char*> names) {
    std::vector<std::pair<QByteArray, xcb_intern_atom_cookie_t>> asked;
    for (const char* name : names) {
        const QByteArray key(name);
        if (!knownAtoms().contains(key))
            asked.emplace_back(key, xcb_intern_atom(c, 0, uint16_t(key.size()), name));
    }
    for (const auto& [key, cookie] : asked) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
        knownAtoms().insert(key, reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE));
        std::free(reply);
    }
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    InternAtoms(c, {name});
    return knownAtoms().value(QByteArray(name));
}

xcb_window_t NativeWindow(QWidget* window) {
    if (!window || !Connection() || !window->isWindow())
        return 0;
    return xcb_window_t(window->winId());
}

xcb_window_t RootOf(xcb_connection_t* c, xcb_window_t window) {
    xcb_get_geometry_reply_t* reply =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    const xcb_window_t root = reply ? reply->root : 0;
    std::free(reply);
    return root;
}

std::vector<uint32_t> Property32(xcb_connection_t* c, xcb_window_t window, const char* name,
                                 xcb_atom_t type) {
    std::vector<uint32_t> values;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, Atom(c, name), type, 0, 1024), nullptr);
    if (reply && reply->format == 32 && reply->type == type) {
        const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

void SetProperty32(xcb_connection_t* c, xcb_window_t window, const char* name, xcb_atom_t type,
                   const std::vector<uint32_t>& values) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, Atom(c, name), type, 32,
                        uint32_t(values.size()), values.data());
}

void SetPropertyBytes(xcb_connection_t* c, xcb_window_t window, const char* name, xcb_atom_t type,
                      const QByteArray& bytes) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, Atom(c, name), type, 8,
                        uint32_t(bytes.size()), bytes.constData());
}

void TellWindowManager(xcb_connection_t* c, xcb_window_t window, const char* message,
                       std::initializer_list<uint32_t> data) {
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = Atom(c, message);
    int k = 0;
    for (uint32_t value : data)
        event.data.data32[k++] = value;
    xcb_send_event(c, 0, RootOf(c, window),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
}

} // namespace X11
