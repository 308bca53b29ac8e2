// Waiting for a condition with a deadline while the Qt event loop runs.
#pragma once

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

// Calls onModal with the first modal widget that appears, from inside the
// event loop of that modal widget, until the watcher is destroyed.
class ModalWatcher : public QObject {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> onModal)
        : m_onModal(std::move(onModal))
    {
        startTimer(10);
    }
    int seen = 0;

protected:
    void timerEvent(QTimerEvent*) override
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != m_last) {
            m_last = modal;
            ++seen;
            m_onModal(modal);
        } else if (!modal) {
            m_last = nullptr;
        }
    }

private:
    std::function<void(QWidget*)> m_onModal;
    QWidget* m_last = nullptr;
};

} // namespace kaptivus::test::dialogs
