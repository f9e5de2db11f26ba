// close-window <window id>
//
// Asks an X window to close the way a window manager does for Alt+F4 or its
// close button: a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW.
// (xdotool's windowclose destroys the window instead, and wmctrl -c needs a
// window manager to pass the request on.) Exits 0 once the request is sent.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <window id>\n", argv[0]);
        return 2;
    }
    const auto window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c) != 0) {
        std::fprintf(stderr, "close-window: cannot open the display\n");
        xcb_disconnect(c);
        return 1;
    }
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = Atom(c, "WM_PROTOCOLS");
    message.data.data32[0] = Atom(c, "WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_void_cookie_t sent = xcb_send_event_checked(c, 0, window, XCB_EVENT_MASK_NO_EVENT,
                                                    reinterpret_cast<const char*>(&message));
    xcb_generic_error_t* error = xcb_request_check(c, sent);
    const int status = error == nullptr ? 0 : 1;
    if (error != nullptr) {
        std::fprintf(stderr, "close-window: no window %s\n", argv[1]);
    }
    std::free(error);
    xcb_disconnect(c);
    return status;
}
