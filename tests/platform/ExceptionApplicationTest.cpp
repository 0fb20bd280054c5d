#include "ExceptionApplication.h"
#include "Dialogs.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

class Throwing : public QObject {
public:
    int handled = 0;
    bool event(QEvent *e) override {
        if (e->type() == QEvent::User) {
            ++handled;
            throw std::runtime_error("Port does not exist!");
        }
        return QObject::event(e);
    }
};

} // namespace

TEST(ExceptionApplication, EscapingExceptionIsShownAndTheLoopGoesOn) {
    std::vector<platform::MessageRequest> shown;
    platform::SetMessageHandler([&](const platform::MessageRequest &r) {
        shown.push_back(r);
        return platform::MessageResult::Ok;
    });
    Throwing target;
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    bool timerRan = false;
    QTimer::singleShot(0, [&] { timerRan = true; });
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    platform::SetMessageHandler({});
    EXPECT_EQ(target.handled, 2);
    EXPECT_TRUE(timerRan);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "Port does not exist!");
    EXPECT_EQ(shown[0].caption, QCoreApplication::applicationName());
}

TEST(ExceptionApplication, TextOfUnknownExceptions) {
    EXPECT_EQ(platform::ExceptionText(std::make_exception_ptr(std::logic_error("bad"))), "bad");
    EXPECT_EQ(platform::ExceptionText(std::make_exception_ptr(42)), "Unknown exception.");
}
