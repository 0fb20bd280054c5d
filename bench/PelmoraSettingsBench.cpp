// Starts and closes Pelmora's main window over an ini file holding 32 full button scripts (100
// lines of 599 characters each, about 2 MB) and prints how long the start (reading the settings
// and building the window) and the exit (writing the settings) take. Three exits are measured:
// nothing changed, a few options changed (the file must be written), and the file removed during
// the run (every key is written anew).
//
//   pelmora_settings_bench [runs]      (default 3)
#include "TfPelmora.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr int kButtons = 32;
constexpr int kLines = 100;
constexpr int kLineLength = 599;

QByteArray FullScripts() {
    QByteArray ini = "[Configuration]\nComPort=1\nBaudRate=38400\nRfpType=Brisken\n\n[UserButtons]\n"
                     "ShowScriptDetails=0\nButtonGroup=1\n";
    for (int n = 1; n <= kButtons; ++n) {
        ini += "Button" + QByteArray::number(n) + "Caption=Script " + QByteArray::number(n) + "\n";
        for (int m = 1; m <= kLines; ++m) {
            QByteArray line = "Button" + QByteArray::number(n) + "Line" + QByteArray::number(m) + "=";
            const QByteArray text = "$PQVZK,6*,~waitfor OK " + QByteArray::number(n * 1000 + m) + " ";
            QByteArray value;
            while (value.size() < kLineLength)
                value += text;
            ini += line + value.left(kLineLength) + "\n";
        }
    }
    return ini;
}

enum class Exit { Unchanged, OptionsChanged, FileRemoved };

struct Times {
    double startMs;
    double exitMs;
};

Times Run(const QByteArray &content, Exit exit) {
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QString iniName;
    {
        // The window names its own file; write the scripts there before the measured start.
        TfPelmora probe;
        iniName = probe.GetIniFileName();
    }
    QFile::remove(iniName);
    QFile file(iniName);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(iniName));
        std::exit(1);
    }
    file.close();

    QElapsedTimer timer;
    timer.start();
    auto window = std::make_unique<TfPelmora>();
    window->show();
    QCoreApplication::processEvents();
    const double startMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;

    if (window->ButtonScriptLines(31).size() != kLines) {
        std::fprintf(stderr, "the scripts were not read\n");
        std::exit(1);
    }
    if (exit == Exit::OptionsChanged) {
        window->move(window->x() + 17, window->y() + 9);
        window->findChild<QAction *>("mBaud9600Select")->trigger();
        window->findChild<QAction *>("mRfpOptHolvanek")->trigger();
        window->findChild<QAction *>("mButtonGroup3")->trigger();
    } else if (exit == Exit::FileRemoved) {
        QFile::remove(iniName);
    }

    timer.restart();
    window->close();
    window.reset();
    const double exitMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;

    // The exit must really have written what it says: the changed options, or the whole file.
    QFile written(iniName);
    const QByteArray after = written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
    const bool ok = exit == Exit::OptionsChanged ? after.contains("RfpType=Holvanek")
                                                 : after.contains("Button32Line100=$PQVZK");
    if (!ok) {
        std::fprintf(stderr, "the exit did not write the settings\n");
        std::exit(1);
    }
    QDir::setCurrent(previous);
    return {startMs, exitMs};
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const QByteArray content = FullScripts();
    std::printf("ini file: %d button scripts x %d lines x %d characters, %lld bytes\n", kButtons, kLines,
                kLineLength, static_cast<long long>(content.size()));
    const struct {
        Exit exit;
        const char *name;
    } cases[] = {{Exit::Unchanged, "nothing changed"},
                 {Exit::OptionsChanged, "options changed"},
                 {Exit::FileRemoved, "file removed, all written anew"}};
    for (const auto &c : cases) {
        for (int i = 0; i < runs; ++i) {
            const Times t = Run(content, c.exit);
            std::printf("%-32s run %d: start %8.1f ms   exit %8.1f ms\n", c.name, i + 1, t.startMs, t.exitMs);
            std::fflush(stdout);
        }
    }
    return 0;
}
