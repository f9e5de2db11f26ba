#include "Fcitx5KeyboardLayouts.h"

#include "platform/DBusCalls.h"
#include "platform/GbkText.h"

#include <Fcitx5Qt6DBusAddons/fcitxqtcontrollerproxy.h>
#include <Fcitx5Qt6DBusAddons/fcitxqtdbustypes.h>
#include <Fcitx5Qt6DBusAddons/fcitxqtwatcher.h>
#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QInputMethodQueryEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace qarvel::platform {

namespace {

const QString kService = QStringLiteral("org.fcitx.Fcitx5");
const QString kPath = QStringLiteral("/controller");

// How long an activation call may take once the program runs.
constexpr int kCallTimeoutMs = 1000;

// Whether the widget with the keyboard focus takes input-method text (an
// editable answer box does; a read-only or disabled one, or a button, not).
// Qt 6 text widgets answer the ImEnabled query with true even when read-only;
// their WA_InputMethodEnabled attribute tells whether they take text.
bool FocusAcceptsInputMethod() {
    QObject* focus = QGuiApplication::focusObject();
    if (focus == nullptr) {
        return false;
    }
    if (const auto* widget = qobject_cast<const QWidget*>(focus)) {
        return widget->isEnabled() && widget->testAttribute(Qt::WA_InputMethodEnabled);
    }
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QCoreApplication::sendEvent(focus, &query);
    return query.value(Qt::ImEnabled).toBool();
}

} // namespace

// Carries one chosen input method to fcitx5 and sees it confirmed; see the
// class comment of Fcitx5KeyboardLayouts.
class Fcitx5Activation final : public QObject {
public:
    Fcitx5Activation(fcitx::FcitxQtWatcher& watcher, fcitx::FcitxQtControllerProxy& controller)
        : watcher_(watcher), controller_(controller) {
        retry_.setSingleShot(true);
        QObject::connect(&retry_, &QTimer::timeout, this, [this] { apply(); });
    }

    ~Fcitx5Activation() override { stopWatching(); }

    bool choose(const QString& name) {
        if (!watcher_.availability()) {
            return false;
        }
        pending_ = name;
        retries_ = 0;
        if (qGuiApp == nullptr) {
            // No user interface to wait for: ask fcitx5 right away.
            send();
            pending_.clear();
            return true;
        }
        startWatching();
        schedule(0);
        return true;
    }

    bool pending() const { return !pending_.isEmpty(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::ReadOnlyChange:
        case QEvent::EnabledChange:
        case QEvent::ApplicationActivate:
        case QEvent::WindowActivate:
            retries_ = 0;
            schedule(0);
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static constexpr int kRetryMs = 100;
    static constexpr int kMaxRetries = 10;

    // Runs apply() once the event loop is back: by then Qt's plug-in has told
    // fcitx5 about the focus change that triggered us.
    void schedule(int delayMs) {
        if (!retry_.isActive() || delayMs == 0) {
            retry_.start(delayMs);
        }
    }

    void startWatching() {
        if (watching_) {
            return;
        }
        watching_ = true;
        qApp->installEventFilter(this);
        focusConnection_ = QObject::connect(qGuiApp, &QGuiApplication::focusObjectChanged, this,
                                            [this] { schedule(0); });
    }

    void stopWatching() {
        if (!watching_) {
            return;
        }
        watching_ = false;
        if (qApp != nullptr) {
            qApp->removeEventFilter(this);
        }
        QObject::disconnect(focusConnection_);
        retry_.stop();
    }

    void send() const { controller_.SetCurrentIM(pending_); }

    void apply() {
        if (pending_.isEmpty() || inFlight_) {
            return;
        }
        // fcitx5 has gone: nothing to tell it, and a call would start it again.
        if (!watcher_.availability()) {
            return;
        }
        // Only while this program holds the keyboard focus is the context
        // fcitx5 acts on our own.
        if (QGuiApplication::focusWindow() == nullptr) {
            return;
        }
        send();
        // Sent after SetCurrentIM on the same connection, so answered after it.
        const QDBusPendingCall check = controller_.CurrentInputMethod();
        inFlight_ = true;
        auto* watcher = new QDBusPendingCallWatcher(check, this);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, this,
                         [this, name = pending_](QDBusPendingCallWatcher* w) {
                             w->deleteLater();
                             inFlight_ = false;
                             const QDBusPendingReply<QString> reply = *w;
                             confirm(name, !reply.isError() && reply.value() == name);
                         });
    }

    void confirm(const QString& name, bool current) {
        if (name != pending_) {
            schedule(0); // chosen again meanwhile
            return;
        }
        if (current) {
            if (FocusAcceptsInputMethod()) {
                pending_.clear();
                stopWatching();
            }
            // Otherwise keep it: confirm again once a widget takes input.
            return;
        }
        if (retries_ < kMaxRetries) {
            ++retries_;
            schedule(kRetryMs);
        }
    }

    fcitx::FcitxQtWatcher& watcher_;
    fcitx::FcitxQtControllerProxy& controller_;
    QString pending_;
    QTimer retry_;
    QMetaObject::Connection focusConnection_;
    int retries_ = 0;
    bool inFlight_ = false;
    bool watching_ = false;
};

std::unique_ptr<Fcitx5KeyboardLayouts> Fcitx5KeyboardLayouts::Load(const QDBusConnection& bus,
                                                                   const dbus::Deadline& deadline) {
    if (!bus.isConnected() || deadline.expired()) {
        return nullptr;
    }
    fcitx::registerFcitxQtDBusTypes();

    // The watcher asks the bus (never fcitx5) whether fcitx5 runs, with the
    // bus interface's timeout: bounded by the deadline for that one question.
    auto watcher = std::make_unique<fcitx::FcitxQtWatcher>(bus);
    if (QDBusConnectionInterface* busInterface = bus.interface()) {
        const int timeout = busInterface->timeout();
        busInterface->setTimeout(std::max(1, deadline.remainingMs()));
        watcher->watch();
        busInterface->setTimeout(timeout);
    }
    if (!watcher->availability() || deadline.expired()) {
        return nullptr;
    }

    auto controller = std::make_unique<fcitx::FcitxQtControllerProxy>(kService, kPath, bus);
    // Each call's timeout is what is left of the deadline when it goes out.
    const auto bounded = [&controller, &deadline] {
        controller->setTimeout(std::max(1, deadline.remainingMs()));
        return controller.get();
    };
    // The long list of every input method goes out first and is read last.
    QDBusPendingReply<fcitx::FcitxQtInputMethodEntryList> available =
        bounded()->AvailableInputMethods();
    // fcitx5 keeps its current group first.
    QDBusPendingReply<QStringList> groups = bounded()->InputMethodGroups();
    groups.waitForFinished();
    if (groups.isError() || groups.value().isEmpty()) {
        return nullptr;
    }
    QDBusPendingReply<QString, fcitx::FcitxQtStringKeyValueList> info =
        bounded()->InputMethodGroupInfo(groups.value().constFirst());
    info.waitForFinished();
    if (info.isError()) {
        return nullptr;
    }
    const fcitx::FcitxQtStringKeyValueList items = info.argumentAt<1>();

    available.waitForFinished(); // bounded by the call's own timeout
    QHash<QString, QString> displayNames;
    if (!available.isError()) {
        for (const fcitx::FcitxQtInputMethodEntry& entry : available.value()) {
            displayNames.insert(entry.uniqueName(), entry.name());
        }
    }
    controller->setTimeout(kCallTimeoutMs);

    std::vector<InputMethod> methods;
    for (const fcitx::FcitxQtStringKeyValue& item : items) {
        if (item.key().isEmpty()) {
            continue;
        }
        InputMethod im;
        im.uniqueName = item.key();
        if (const auto it = displayNames.constFind(im.uniqueName); it != displayNames.constEnd()) {
            // An input method without a display name goes by its own name.
            im.displayName = it->isEmpty() ? im.uniqueName : *it;
        }
        methods.push_back(std::move(im));
    }
    return std::make_unique<Fcitx5KeyboardLayouts>(std::move(watcher), std::move(controller),
                                                   std::move(methods));
}

Fcitx5KeyboardLayouts::Fcitx5KeyboardLayouts(
    std::unique_ptr<fcitx::FcitxQtWatcher> watcher,
    std::unique_ptr<fcitx::FcitxQtControllerProxy> controller, std::vector<InputMethod> group)
    : watcher_(std::move(watcher)), controller_(std::move(controller)), group_(std::move(group)),
      activation_(std::make_unique<Fcitx5Activation>(*watcher_, *controller_)) {}

Fcitx5KeyboardLayouts::~Fcitx5KeyboardLayouts() = default;

// Handles are positions in the group, from 1.
const Fcitx5KeyboardLayouts::InputMethod* Fcitx5KeyboardLayouts::find(LayoutHandle layout) const {
    if (layout == 0 || layout > group_.size()) {
        return nullptr;
    }
    return &group_[layout - 1];
}

std::vector<LayoutHandle> Fcitx5KeyboardLayouts::loadedLayouts(int capacity) {
    std::vector<LayoutHandle> handles;
    for (std::size_t i = 0; i < group_.size() && static_cast<int>(i) < capacity; ++i) {
        handles.push_back(i + 1);
    }
    return handles;
}

bool Fcitx5KeyboardLayouts::isInputMethod(LayoutHandle layout) {
    const InputMethod* im = find(layout);
    return im != nullptr && !im->uniqueName.startsWith(QStringLiteral("keyboard-"));
}

std::optional<std::string> Fcitx5KeyboardLayouts::layoutText(LayoutHandle layout) {
    const InputMethod* im = find(layout);
    if (im == nullptr || !im->displayName) {
        return std::nullopt;
    }
    return ToGbk(*im->displayName);
}

bool Fcitx5KeyboardLayouts::activate(LayoutHandle layout) {
    const InputMethod* im = find(layout);
    return im != nullptr && activation_->choose(im->uniqueName);
}

QString Fcitx5KeyboardLayouts::uniqueName(LayoutHandle layout) const {
    const InputMethod* im = find(layout);
    return im != nullptr ? im->uniqueName : QString();
}

bool Fcitx5KeyboardLayouts::activationPending() const {
    return activation_->pending();
}

} // namespace qarvel::platform
