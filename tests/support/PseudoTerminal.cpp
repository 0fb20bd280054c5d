#include "PseudoTerminal.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace testsupport {

PseudoTerminal::PseudoTerminal() {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(&master, &slaveKeeper, name, &raw, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    devicePath = QString::fromLocal8Bit(name);
}

PseudoTerminal::~PseudoTerminal() {
    if (slaveKeeper >= 0)
        ::close(slaveKeeper);
    if (master >= 0)
        ::close(master);
}

void PseudoTerminal::Write(const std::string &bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{master, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            throw std::runtime_error("write to pseudo-terminal failed");
        }
    }
}

std::string PseudoTerminal::Read(int timeoutMs, std::size_t want, std::size_t max) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < want && got.size() < max) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0)
            break;
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(master, buffer, std::min(sizeof buffer, max - got.size()));
        if (n > 0)
            got.append(buffer, static_cast<std::size_t>(n));
        else if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO)
            break;
        else if (n <= 0)
            ::usleep(1000);
    }
    return got;
}

void PseudoTerminal::Drain() {
    char buffer[4096];
    while (::read(master, buffer, sizeof buffer) > 0) {
    }
}

int PseudoTerminal::WaitingAtDevice() const {
    int count = 0;
    return ::ioctl(slaveKeeper, FIONREAD, &count) == 0 ? count : 0;
}

void PseudoTerminal::Unplug() {
    for (int *fd : {&slaveKeeper, &master}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

ScopedComMapping::ScopedComMapping(int comNumber, const QString &devicePath)
    : name("COM" + QByteArray::number(comNumber)) {
    qputenv(name.constData(), devicePath.toLocal8Bit());
}

ScopedComMapping::~ScopedComMapping() {
    qunsetenv(name.constData());
}

} // namespace testsupport
