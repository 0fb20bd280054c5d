#include "MessagePump.h"

#include "Clock.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace platform {

void ProcessMessages() {
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WaitForMessagesUpTo(unsigned milliseconds) {
    if (QCoreApplication::instance() == nullptr) {
        QThread::msleep(milliseconds);
        return;
    }
    // The wake-up is an event too, so the wait ends by then even if nothing else happens.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(static_cast<int>(milliseconds));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void WaitForMessages() {
    WaitForMessagesUpTo(250);
}

void PauseForMessages(unsigned milliseconds) {
    CurrentClock().PauseForMessages(milliseconds);
}

} // namespace platform
