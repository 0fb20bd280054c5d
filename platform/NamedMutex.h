#pragma once
#include <string>

namespace platform {

// A lock shared by every process that opens the same name: an exclusive flock() on a file named
// after it in the user's runtime directory. The system drops the lock when a holder dies, so a
// crashed program never leaves it taken.
class NamedMutex {
public:
    explicit NamedMutex(const std::string &name);
    ~NamedMutex();
    NamedMutex(const NamedMutex &) = delete;
    NamedMutex &operator=(const NamedMutex &) = delete;

    // Waits without limit for the lock; false when the lock file could not be opened, in which
    // case nothing is locked and the caller goes on alone.
    bool Lock();
    void Unlock();
    bool IsHeld() const { return held; }
    const std::string &Path() const { return path; }

private:
    std::string path;
    int fd = -1;
    bool held = false;
};

// Holds a NamedMutex for the lifetime of the object.
class NamedMutexLock {
public:
    explicit NamedMutexLock(NamedMutex *mutex) : mutex(mutex) {
        if (this->mutex)
            this->mutex->Lock();
    }
    ~NamedMutexLock() {
        if (mutex)
            mutex->Unlock();
    }
    NamedMutexLock(const NamedMutexLock &) = delete;
    NamedMutexLock &operator=(const NamedMutexLock &) = delete;

private:
    NamedMutex *mutex;
};

} // namespace platform
