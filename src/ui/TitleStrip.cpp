#include "TitleStrip.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <utility>

#if __has_include(<xcb/xcb.h>)
#include "platform/SharedLibrary.h"

#include <xcb/xcb.h>
#define QARVEL_HAVE_XCB 1
#endif

namespace qarvel::ui {
namespace {

constexpr const char* kMoverName = "qarvel_title_strip_mover";

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

// Watches one title strip: its presses and the move of its window.
class StripMover : public QObject {
public:
    explicit StripMover(QWidget* strip) : QObject(strip), strip_(strip) {
        setObjectName(QLatin1String(kMoverName));
        strip->installEventFilter(this);
    }

    void setMouseDown(std::function<void(QMouseEvent*)> handler) {
        mouseDown_ = std::move(handler);
        takesPresses_ = true;
    }

    void start(const QMouseEvent& press) {
        finish();
        QWidget* window = strip_->window();
        pressButton_ = press.button();
        offset_ = press.globalPosition().toPoint() - window->pos();
        QWindow* handle = window->windowHandle();
        if (handle != nullptr && WindowManagerRuns(window) && handle->startSystemMove()) {
            mode_ = Mode::System;
            return;
        }
        // No window system move (no window manager, or the offscreen platform):
        // the window follows the mouse here; the press's own grab brings us
        // every move and the release.
        mode_ = Mode::ByHand;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != strip_) {
            return false;
        }
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return pressed(static_cast<QMouseEvent*>(event));
        case QEvent::MouseMove:
            return moved(static_cast<QMouseEvent*>(event));
        case QEvent::MouseButtonRelease:
            return released(static_cast<QMouseEvent*>(event));
        default:
            return false;
        }
    }

private:
    enum class Mode { Idle, System, ByHand };

    bool pressed(QMouseEvent* mouse) {
        finish(); // a new press: any earlier move is over
        if (!takesPresses_ || strip_->childAt(mouse->position().toPoint()) != nullptr) {
            return false; // a control on the strip had the press
        }
        if (mouseDown_) {
            mouseDown_(mouse);
        } else {
            start(*mouse);
        }
        mouse->accept();
        return true;
    }

    bool moved(QMouseEvent* mouse) {
        if (mode_ != Mode::ByHand) {
            return false;
        }
        follow(mouse->globalPosition().toPoint());
        if (mouse->buttons() == Qt::NoButton) {
            finish(); // the release went elsewhere
        }
        return true;
    }

    bool released(QMouseEvent* mouse) {
        if (mode_ == Mode::Idle) {
            return false;
        }
        if (mode_ == Mode::System) {
            // A window manager running the move holds the pointer and has the
            // release. It came here: nobody ran the move, and Qt has called it
            // off. Put the window where the move would have left it.
            follow(mouse->globalPosition().toPoint());
            finish();
            return true;
        }
        if (mouse->button() == pressButton_ || mouse->buttons() == Qt::NoButton) {
            follow(mouse->globalPosition().toPoint());
            finish();
        }
        return true;
    }

    void follow(const QPoint& pointer) { strip_->window()->move(pointer - offset_); }

    void finish() { mode_ = Mode::Idle; }

    QWidget* strip_;
    std::function<void(QMouseEvent*)> mouseDown_;
    bool takesPresses_ = false;
    Mode mode_ = Mode::Idle;
    Qt::MouseButton pressButton_ = Qt::NoButton;
    QPoint offset_; // from the window's top-left corner to the pointer at the press
};

StripMover* MoverOf(QWidget* strip) {
    // Only a StripMover carries this name.
    auto* found = strip->findChild<QObject*>(QLatin1String(kMoverName), Qt::FindDirectChildrenOnly);
    return found != nullptr ? static_cast<StripMover*>(found) : new StripMover(strip);
}

} // namespace

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
        c, xcb->internAtom(c, 1, static_cast<uint16_t>(sizeof kSelection - 1), kSelection),
        &error);
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

void MakeTitleStrip(QWidget* strip, std::function<void(QMouseEvent*)> mouseDown) {
    if (strip != nullptr) {
        MoverOf(strip)->setMouseDown(std::move(mouseDown));
    }
}

void StartWindowMove(QWidget* strip, const QMouseEvent& press) {
    if (strip != nullptr) {
        MoverOf(strip)->start(press);
    }
}

} // namespace qarvel::ui
