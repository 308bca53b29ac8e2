// Answering the modal boxes a test provokes, from inside their own event loop.
#pragma once

#include <QApplication>
#include <QWidget>

#include <functional>

namespace kaptivus::test {

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

} // namespace kaptivus::test
