// first_map [--name NAME] [--linger MS] -- COMMAND [ARG...]
//
// Starts COMMAND and prints the milliseconds from its start until its first
// top-level window is mapped on the X display (the first one titled NAME, if
// given); after MS more milliseconds (default 300, so the window is painted)
// ends it with SIGTERM. Exits 0 when the window came, 1 when the command ended
// or 20 s passed first, 2 on bad arguments.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

std::string Title(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr);
    std::string title;
    if (reply != nullptr) {
        title.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                     static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    }
    std::free(reply);
    return title;
}

} // namespace

int main(int argc, char** argv) {
    std::string name;
    long lingerMs = 300;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string arg = argv[first];
        if (arg == "--name" && first + 1 < argc) {
            name = argv[++first];
        } else if (arg == "--linger" && first + 1 < argc) {
            lingerMs = std::strtol(argv[++first], nullptr, 10);
        } else if (arg == "--") {
            ++first;
            break;
        } else {
            break;
        }
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: %s [--name NAME] [--linger MS] -- COMMAND [ARG...]\n",
                     argv[0]);
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c) != 0) {
        std::fprintf(stderr, "first_map: cannot open the display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t netName = Atom(c, "_NET_WM_NAME");
    xcb_flush(c);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[first], argv + first);
        std::perror("first_map: exec");
        _exit(127);
    }
    int status = 1;
    const auto deadline = start + std::chrono::seconds(20);
    pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
    for (bool found = false; !found;) {
        xcb_generic_event_t* event = xcb_poll_for_event(c);
        if (event == nullptr) {
            if (waitpid(child, nullptr, WNOHANG) == child) {
                std::fprintf(stderr, "first_map: the command ended without a window\n");
                return 1;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                std::fprintf(stderr, "first_map: no window in 20 s\n");
                break;
            }
            poll(&fd, 1, static_cast<int>(std::min<long long>(left.count(), 50)));
            continue;
        }
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (map->event == root && map->override_redirect == 0 &&
                (name.empty() || Title(c, map->window, netName) == name)) {
                const double ms = std::chrono::duration<double, std::milli>(
                                      std::chrono::steady_clock::now() - start)
                                      .count();
                std::printf("%.1f\n", ms);
                std::fflush(stdout);
                found = true;
                status = 0;
            }
        }
        std::free(event);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(lingerMs));
    kill(child, SIGTERM);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    xcb_disconnect(c);
    return status;
}
