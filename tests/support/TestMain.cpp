#include "ExceptionApplication.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// Every test binary runs with the programs' application class on the offscreen platform, and with its
// settings and data in temporary folders so no test touches the user's own.
int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    platform::ExceptionApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("TestProgram"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
