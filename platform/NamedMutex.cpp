#include "NamedMutex.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {
namespace {

// The user's runtime directory when the session has one, else a per-user name in /tmp.
std::string LockFilePath(const std::string &name) {
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && ::access(runtime, W_OK) == 0)
        return std::string(runtime) + "/" + name + ".lock";
    return "/tmp/" + name + "-" + std::to_string(::getuid()) + ".lock";
}

} // namespace

NamedMutex::NamedMutex(const std::string &name) : path(LockFilePath(name)) {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

NamedMutex::~NamedMutex() {
    Unlock();
    if (fd >= 0)
        ::close(fd);
}

bool NamedMutex::Lock() {
    if (fd < 0)
        return false;
    if (held)
        return true;
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR)
            return false;
    }
    held = true;
    return true;
}

void NamedMutex::Unlock() {
    if (fd >= 0 && held)
        ::flock(fd, LOCK_UN);
    held = false;
}

} // namespace platform
