#include "ExceptionApplication.h"
#include "loadmain.h"

#include <memory>

int main(int argc, char **argv) {
    platform::ExceptionApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setOrganizationName(QStringLiteral("Zandrel Inc."));
    try {
        auto window = std::make_unique<TMainForm>();
        window->show();
        QApplication::exec();
    } catch (...) {
        platform::ExceptionApplication::ShowException(std::current_exception());
    }
    return 0;
}
