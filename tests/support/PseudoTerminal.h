#pragma once
#include <QString>
#include <cstddef>
#include <string>

namespace testsupport {

// A pseudo-terminal pair: the program opens the device at DevicePath() as its serial port,
// a stand-in reads and writes the other end through the master descriptor.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    QString DevicePath() const { return devicePath; }
    int MasterFd() const { return master; }

    void Write(const std::string &bytes);
    // Reads what arrives within timeoutMs, up to max bytes; stops early once want bytes are in.
    std::string Read(int timeoutMs, std::size_t want = 1, std::size_t max = 65536);
    // Drops whatever is waiting on the master side.
    void Drain();
    // How many bytes written here wait on the device side for the program to read them.
    int WaitingAtDevice() const;
    // Closes both ends, as an unplugged adapter: the program's port hangs up.
    void Unplug();

private:
    int master = -1;
    int slaveKeeper = -1; // keeps the device alive while the program closes and reopens it
    QString devicePath;
};

// Points COMn at the device for the lifetime of the object.
class ScopedComMapping {
public:
    ScopedComMapping(int comNumber, const QString &devicePath);
    ~ScopedComMapping();

private:
    QByteArray name;
};

} // namespace testsupport
