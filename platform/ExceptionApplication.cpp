#include "ExceptionApplication.h"

#include "Dialogs.h"

#include <stdexcept>

namespace platform {

ExceptionApplication::ExceptionApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool ExceptionApplication::notify(QObject *receiver, QEvent *event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
        return false;
    }
}

QString ExceptionText(const std::exception_ptr &error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown exception.");
    }
}

void ExceptionApplication::ShowException(const std::exception_ptr &error) {
    ShowMessageBox(
        {ExceptionText(error), QApplication::applicationName(), MessageButtons::Ok, MessageIcon::Error});
}

} // namespace platform
