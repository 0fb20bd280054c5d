#include "FileFaults.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace testsupport {

void FailReadsOfOpenFile(const std::string &path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) != path)
            continue;
        const int directory = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (directory < 0)
            continue;
        ::dup2(directory, std::stoi(entry.path().filename().string()));
        ::close(directory);
    }
}

namespace {

struct FailingStream {
    std::string bytes;
    std::size_t position = 0;
};

ssize_t ReadFailingStream(void *cookie, char *buffer, std::size_t size) {
    auto &stream = *static_cast<FailingStream *>(cookie);
    if (stream.position >= stream.bytes.size()) {
        errno = EIO;
        return -1;
    }
    const std::size_t count = std::min(size, stream.bytes.size() - stream.position);
    std::memcpy(buffer, stream.bytes.data() + stream.position, count);
    stream.position += count;
    return static_cast<ssize_t>(count);
}

int CloseFailingStream(void *cookie) {
    delete static_cast<FailingStream *>(cookie);
    return 0;
}

} // namespace

std::FILE *StreamThatFailsAfter(std::string bytes) {
    auto stream = std::make_unique<FailingStream>();
    stream->bytes = std::move(bytes);
    std::FILE *file =
        ::fopencookie(stream.get(), "r", {ReadFailingStream, nullptr, nullptr, CloseFailingStream});
    if (file)
        stream.release(); // the stream's close frees it
    return file;
}

void MakeUnreadable(const std::string &path) {
    std::error_code error;
    std::filesystem::remove(path, error);
    std::filesystem::create_symlink("/proc/self/mem", path);
}

bool MakeUnreadableWithSize(const std::string &path) {
    const char *attribute = "/sys/class/net/lo/speed";
    std::error_code error;
    std::filesystem::remove(path, error);
    if (!std::filesystem::exists(attribute))
        return false;
    std::filesystem::create_symlink(attribute, path);
    return true;
}

void MakeFifo(const std::string &path) {
    std::error_code error;
    std::filesystem::remove(path, error);
    ::mkfifo(path.c_str(), 0600);
}

bool MakeEndlessDevice(const std::string &path) {
    std::error_code error;
    std::filesystem::remove(path, error);
    return ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 5)) == 0;
}

FullDisk::FullDisk(int kilobytes) {
    char pattern[] = "/tmp/full-disk-XXXXXX";
    if (!::mkdtemp(pattern))
        return;
    path = pattern;
    const std::string options = "size=" + std::to_string(kilobytes) + "k";
    mounted = ::geteuid() == 0 && ::mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

FullDisk::~FullDisk() {
    if (mounted)
        ::umount2(path.c_str(), MNT_DETACH);
    std::error_code error;
    std::filesystem::remove_all(path, error);
}

void FullDisk::Fill(long bytesLeft) {
    std::FILE *filler = std::fopen((path + "/.filler").c_str(), "ab");
    if (!filler)
        return;
    std::setvbuf(filler, nullptr, _IONBF, 0);
    const char block[512] = {};
    while (std::fwrite(block, 1, sizeof block, filler) == sizeof block) {
    }
    while (std::fwrite(block, 1, 1, filler) == 1) {
    }
    if (bytesLeft > 0)
        ::ftruncate(::fileno(filler), std::max(0L, std::ftell(filler) - bytesLeft));
    std::fclose(filler);
}

void FullDisk::Release() {
    std::error_code error;
    std::filesystem::remove(path + "/.filler", error);
}

} // namespace testsupport
