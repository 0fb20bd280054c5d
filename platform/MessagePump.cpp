#include "MessagePump.h"

#include <QCoreApplication>

namespace platform {

void ProcessMessages() {
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace platform
