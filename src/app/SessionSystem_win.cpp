#include "SessionSystem.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <windows.h>

namespace qarvel::app {
namespace {

// The end of the Windows session (log-off, shut-down): the loop ends and the
// program's own ending (the last record) runs before the system goes on.
class SessionEnd : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override {
        if (eventType != "windows_generic_MSG") {
            return false;
        }
        const auto* msg = static_cast<const MSG*>(message);
        if (msg->message == WM_ENDSESSION && msg->wParam != FALSE) {
            QCoreApplication::exit(0);
            if (result != nullptr) {
                *result = 0;
            }
            return true;
        }
        return false;
    }
};

} // namespace

QString AccountName() {
    wchar_t name[257] = {};
    DWORD size = 257;
    if (GetUserNameW(name, &size) != FALSE && size > 1) {
        return QString::fromWCharArray(name, static_cast<qsizetype>(size - 1));
    }
    return qEnvironmentVariable("USERNAME");
}

void EndProgramOnEndRequests() {
    static bool installed = false;
    if (installed || qApp == nullptr) {
        return;
    }
    static SessionEnd filter;
    qApp->installNativeEventFilter(&filter);
    installed = true;
}

} // namespace qarvel::app
