#pragma once
#include <cstdio>
#include <string>

namespace testsupport {

// The one place tests make files fail while they are used: reads that fail, and a full disk.

// From the next read on, every descriptor of this process open on `path` fails its reads (a
// folder is put under it: EISDIR), as a share that drops out while a file is read.
void FailReadsOfOpenFile(const std::string &path);

// Puts at `path` a file that opens but whose first read fails (EIO): a link to this process's own
// memory, read at an address that is never mapped. Needs no privileges.
void MakeUnreadable(const std::string &path);

// A stream that reads as `bytes` and then fails its next read (EIO), wherever that falls: at a
// line end, at the end of stdio's buffer. The caller closes it with fclose.
std::FILE *StreamThatFailsAfter(std::string bytes);

// The same for a reader that asks the size first and reads no file of size 0 (QSettings): a link
// to a kernel attribute of a page's size whose reads fail (the loopback interface has no link
// speed: EINVAL). False where the system has no such attribute.
bool MakeUnreadableWithSize(const std::string &path);

// Puts at `path` a named pipe nobody writes to: opening it to read waits for a writer for good.
void MakeFifo(const std::string &path);

// Puts at `path` a device node of its own that reads as endless zero bytes and swallows every
// write, as the system's zero device does; the system's own nodes are never touched. Making a
// node needs root: false otherwise, and the test skips.
bool MakeEndlessDevice(const std::string &path);

// A small file system of its own (a tmpfs mounted over a fresh folder), which Fill() fills to the
// last byte and Release() frees again. Mounting needs root: where it cannot be mounted,
// Mounted() is false, and the test skips.
class FullDisk {
public:
    explicit FullDisk(int kilobytes = 64);
    ~FullDisk();
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    bool Mounted() const { return mounted; }
    const std::string &Path() const { return path; }
    // Fills every free byte but `bytesLeft` (a page lets a small file be made, and no more);
    // files already there keep what they hold.
    void Fill(long bytesLeft = 0);
    // Frees what Fill() took.
    void Release();

private:
    std::string path;
    bool mounted = false;
};

} // namespace testsupport
