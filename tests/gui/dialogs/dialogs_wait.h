// Waiting for a condition with a deadline while the Qt event loop runs.
#pragma once

#include "ModalWatcher.h"
#include "XTest.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTest>

#include <functional>

namespace kaptivus::test::dialogs {

inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    return kaptivus::test::waitUntil(condition, std::chrono::milliseconds(timeoutMs));
}

using kaptivus::test::ModalWatcher;

} // namespace kaptivus::test::dialogs
