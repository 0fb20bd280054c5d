#pragma once
#include <QApplication>

// The engine's facade is a widget, so every target needs an application object. It lives until
// the process ends and is never destroyed: Qt cannot tear it down during static destruction.
inline void EnsureApplication() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    (void)app;
}
