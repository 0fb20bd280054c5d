#pragma once
#include <QApplication>
#include <QString>
#include <exception>

namespace platform {

// The application object of both programs. An exception that escapes an event handler is shown
// in a message box captioned with the program's name, and the event loop goes on.
class ExceptionApplication : public QApplication {
public:
    ExceptionApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // Shows the standard exception box for the exception being handled (also used by main()).
    static void ShowException(const std::exception_ptr &error);
};

// The text an exception carries, for messages and logs.
QString ExceptionText(const std::exception_ptr &error);

} // namespace platform
