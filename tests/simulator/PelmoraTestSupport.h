#pragma once
// What the simulator's window tests share: a start directory of their own and waits on conditions.
#include "TfPelmora.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <unistd.h>

namespace pelmoratest {

inline QByteArray FileContents(const QString &path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// Every window starts in a directory of its own, where its ini file lives.
class StartDirectory {
public:
    explicit StartDirectory(const QString &path = {}) : previous(QDir::currentPath()) {
        const QString dir = path.isEmpty() ? temp.path() : path;
        QDir().mkpath(dir);
        QDir::setCurrent(dir);
    }
    ~StartDirectory() { QDir::setCurrent(previous); }
    QString IniPath() const { return QDir::currentPath() + "/Pelmora.ini"; }
    void WriteIni(const QByteArray &content) const {
        QFile file(IniPath());
        file.open(QIODevice::WriteOnly);
        file.write(content);
    }
    QByteArray ReadIni() const { return FileContents(IniPath()); }

private:
    QTemporaryDir temp;
    QString previous;
};

// Waits end as soon as their condition holds; the limit only bounds a failing run, so it is far
// beyond anything a loaded machine needs.
inline constexpr int kPatienceMs = 30000;

template <typename Cond> bool WaitUntil(Cond cond, int ms = kPatienceMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        if (cond())
            return true;
        ::usleep(1000);
    }
    return cond();
}

template <typename Cond> bool PollUntil(TfPelmora &window, Cond cond, int ms = kPatienceMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        window.PollSerialPort();
        if (cond())
            return true;
        ::usleep(1000);
    }
    return cond();
}

} // namespace pelmoratest
