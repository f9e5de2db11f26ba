#pragma once

// Shared start of the tests that run against a real input-method daemon in
// its sandbox (tests/e2e/with-fcitx5.sh, with-ibus.sh).

#include "platform/InputMethodList.h"
#include "platform/KeyboardLayoutService.h"

#include <QElapsedTimer>
#include <QtTest>
#include <memory>

namespace qarvel::platform::testing {

// Detects the desktop's service and builds the list, as start-up does, and
// checks that `backend` answered. The time it took is printed beside the
// start-up budget; the detection itself gets ten times the budget, so that a
// loaded machine does not fail the test. Callers check
// QTest::currentTestFailed() afterwards.
inline void DetectWithinBudget(const char* backend, std::unique_ptr<KeyboardLayoutService>& service,
                               InputMethodList& list) {
    QElapsedTimer timer;
    timer.start();
    service = DetectKeyboardLayoutService(10 * kDetectBudget);
    list = BuildInputMethodList(*service);
    const double elapsedMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    qInfo("%s start-up: detect and build the list in %.2f ms (budget %lld ms)", backend, elapsedMs,
          static_cast<long long>(kDetectBudget.count()));
    QCOMPARE(service->backendName(), backend);
}

} // namespace qarvel::platform::testing
