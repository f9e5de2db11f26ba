#include "WindowSystem.h"

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>

#if __has_include(<xcb/xcb.h>)
#include "SharedLibrary.h"

#include <xcb/xcb.h>
#define QARVEL_HAVE_XCB 1
#endif

namespace qarvel::platform {
namespace {

#ifdef QARVEL_HAVE_XCB
// The few xcb calls below, taken from the copy of libxcb that Qt's X11 plug-in
// has loaded: the program itself does not link X11.
struct Xcb {
    decltype(&xcb_intern_atom) internAtom = nullptr;
    decltype(&xcb_intern_atom_reply) internAtomReply = nullptr;
    decltype(&xcb_query_tree) queryTree = nullptr;
    decltype(&xcb_query_tree_reply) queryTreeReply = nullptr;
    decltype(&xcb_get_property) getProperty = nullptr;
    decltype(&xcb_get_property_reply) getPropertyReply = nullptr;
    decltype(&xcb_get_property_value) propertyValue = nullptr;
    decltype(&xcb_get_property_value_length) propertyValueLength = nullptr;
    decltype(&xcb_get_selection_owner) selectionOwner = nullptr;
    decltype(&xcb_get_selection_owner_reply) selectionOwnerReply = nullptr;

    [[nodiscard]] bool complete() const {
        return internAtom && internAtomReply && queryTree && queryTreeReply && getProperty &&
               getPropertyReply && propertyValue && propertyValueLength && selectionOwner &&
               selectionOwnerReply;
    }
};

const Xcb* LoadedXcb() {
    static const Xcb xcb = [] {
        Xcb calls;
        // The copy that Qt's X11 plug-in has loaded, if it has: kept for the run.
        platform::SharedLibrary library("libxcb.so.1", RTLD_LAZY | RTLD_NOLOAD);
        if (!library.loaded()) {
            return calls;
        }
        library.find(calls.internAtom, "xcb_intern_atom");
        library.find(calls.internAtomReply, "xcb_intern_atom_reply");
        library.find(calls.queryTree, "xcb_query_tree");
        library.find(calls.queryTreeReply, "xcb_query_tree_reply");
        library.find(calls.getProperty, "xcb_get_property");
        library.find(calls.getPropertyReply, "xcb_get_property_reply");
        library.find(calls.propertyValue, "xcb_get_property_value");
        library.find(calls.propertyValueLength, "xcb_get_property_value_length");
        library.find(calls.selectionOwner, "xcb_get_selection_owner");
        library.find(calls.selectionOwnerReply, "xcb_get_selection_owner_reply");
        library.keepLoaded();
        return calls;
    }();
    return xcb.complete() ? &xcb : nullptr;
}

// The window named by `property` on `window`, or 0 (XCB_NONE).
xcb_window_t WindowProperty(const Xcb& xcb, xcb_connection_t* c, xcb_window_t window,
                            xcb_atom_t property) {
    xcb_generic_error_t* error = nullptr;
    xcb_get_property_reply_t* reply = xcb.getPropertyReply(
        c, xcb.getProperty(c, 0, window, property, XCB_ATOM_WINDOW, 0, 1), &error);
    std::free(error);
    xcb_window_t value = XCB_NONE;
    if (reply != nullptr && reply->type == XCB_ATOM_WINDOW && reply->format == 32 &&
        xcb.propertyValueLength(reply) >= 4) {
        value = *static_cast<const xcb_window_t*>(xcb.propertyValue(reply));
    }
    std::free(reply);
    return value;
}
#endif

} // namespace

// Whether a window manager runs on the display of `window`, by the check that
// window managers publish: the root names a window of theirs, which names
// itself. A manager that has gone leaves the root's property behind, naming a
// window that no longer exists; Qt would still hand it the move.
bool WindowManagerRuns(QWidget* window) {
#ifdef QARVEL_HAVE_XCB
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return true;
    }
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    const Xcb* xcb = LoadedXcb();
    if (x11 == nullptr || xcb == nullptr || x11->connection() == nullptr) {
        return true; // cannot tell: leave it to Qt
    }
    xcb_connection_t* c = x11->connection();
    xcb_generic_error_t* error = nullptr;
    static constexpr char kCheck[] = "_NET_SUPPORTING_WM_CHECK";
    xcb_intern_atom_reply_t* atom = xcb->internAtomReply(
        c, xcb->internAtom(c, 1, static_cast<uint16_t>(sizeof kCheck - 1), kCheck), &error);
    std::free(error);
    error = nullptr;
    const xcb_atom_t check = atom != nullptr ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(atom);
    if (check == xcb_atom_t{XCB_ATOM_NONE}) {
        return false; // nobody ever published it
    }
    xcb_query_tree_reply_t* tree = xcb->queryTreeReply(
        c, xcb->queryTree(c, static_cast<xcb_window_t>(window->winId())), &error);
    std::free(error);
    const xcb_window_t root = tree != nullptr ? tree->root : XCB_NONE;
    std::free(tree);
    if (root == XCB_NONE) {
        return true;
    }
    const xcb_window_t manager = WindowProperty(*xcb, c, root, check);
    return manager != XCB_NONE && WindowProperty(*xcb, c, manager, check) == manager;
#else
    Q_UNUSED(window);
    return true;
#endif
}

bool WindowSystemShapesWindows() {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
        return true;
    }
    if (platform != QLatin1String("xcb")) {
        return false; // Wayland and the others: a window is its surface, square
    }
#ifdef QARVEL_HAVE_XCB
    // An X server shapes windows itself, unless a compositing manager (also
    // the Wayland compositor behind XWayland) draws them: it may draw the
    // whole rectangle. Compositing managers own the selection _NET_WM_CM_S0.
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    const Xcb* xcb = LoadedXcb();
    if (x11 == nullptr || xcb == nullptr || x11->connection() == nullptr) {
        return true;
    }
    xcb_connection_t* c = x11->connection();
    xcb_generic_error_t* error = nullptr;
    static constexpr char kSelection[] = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t* atom = xcb->internAtomReply(
        c, xcb->internAtom(c, 1, static_cast<uint16_t>(sizeof kSelection - 1), kSelection), &error);
    std::free(error);
    error = nullptr;
    const xcb_atom_t selection = atom != nullptr ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(atom);
    if (selection == xcb_atom_t{XCB_ATOM_NONE}) {
        return true;
    }
    xcb_get_selection_owner_reply_t* owner =
        xcb->selectionOwnerReply(c, xcb->selectionOwner(c, selection), &error);
    std::free(error);
    const bool composited = owner != nullptr && owner->owner != XCB_NONE;
    std::free(owner);
    return !composited;
#else
    return true;
#endif
}

} // namespace qarvel::platform
