#include "ComPorts.h"

#include <QByteArray>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace platform {

QString ComPortDevicePath(int n) {
    if (n <= 0)
        return {};
    const QByteArray name = "COM" + QByteArray::number(n);
    const QByteArray over = qgetenv(name.constData());
    if (!over.isEmpty())
        return QString::fromLocal8Bit(over);
    if (n <= 32)
        return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    if (n <= 64)
        return QStringLiteral("/dev/ttyUSB%1").arg(n - 33);
    if (n <= kMaxComPort)
        return QStringLiteral("/dev/ttyACM%1").arg(n - 65);
    return {};
}

bool ComPortExists(int n) {
    const QString path = ComPortDevicePath(n);
    if (path.isEmpty())
        return false;
    struct stat st {};
    return ::stat(path.toLocal8Bit().constData(), &st) == 0;
}

bool ParseComPortName(const char *name, int &n) {
    if (name == nullptr)
        return false;
    int value = 0;
    int used = 0;
    if (std::sscanf(name, "COM%d%n", &value, &used) != 1 || name[used] != '\0')
        return false;
    n = value;
    return true;
}

} // namespace platform
