#include "TargetIdFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

QString TargetIdFileName(const QString &firmwareFile, int n) {
    const qsizetype slash = firmwareFile.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = firmwareFile.lastIndexOf(QLatin1Char('.'));
    const QString id = QStringLiteral(" (ID%1)").arg(n);
    if (dot <= slash)
        return firmwareFile + id;
    return firmwareFile.left(dot) + id + firmwareFile.mid(dot);
}

namespace {

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The firmware reader takes header records only from the file's leading "S0~" lines.
bool IsHeaderRecord(const std::string &line) {
    return line.size() > 3 && line.compare(0, 3, "S0~") == 0;
}

bool IsTargetIdRecord(const std::string &line) {
    return line.compare(0, 5, "S0~I~") == 0;
}

// Copies every line of source whole, each ended with CR LF (a CR already before the LF is not
// doubled), leaving out the leading target-ID records: the reader takes the last one, so an old
// one would win over the new record written first.
bool CopyLines(std::FILE *source, std::FILE *out, bool &readFailed) {
    std::string line;
    bool inHeader = true;
    bool ok = true;
    auto put = [&] {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        inHeader = inHeader && IsHeaderRecord(line);
        if (!(inHeader && IsTargetIdRecord(line))) {
            line += "\r\n";
            ok = ok && std::fwrite(line.data(), 1, line.size(), out) == line.size();
        }
        line.clear();
    };
    int c = 0;
    bool pending = false;
    while ((c = std::fgetc(source)) != EOF) {
        pending = c != '\n';
        if (c == '\n')
            put();
        else
            line.push_back(static_cast<char>(c));
    }
    if (pending)
        put();
    readFailed = std::ferror(source) != 0;
    return ok && !readFailed;
}

} // namespace

TargetIdResult WriteTargetIdFile(const QString &firmwareFile, const QString &target, int n) {
    const QByteArray targetPath = target.toLocal8Bit();
    struct stat existing {};
    if (::lstat(targetPath.constData(), &existing) == 0)
        return TargetIdResult::Exists;
    // The source first: a copy is only started when there is something to copy.
    File source(std::fopen(firmwareFile.toLocal8Bit().constData(), "rb"));
    if (!source)
        return TargetIdResult::SourceUnreadable;
    // Created exclusively, so a file that appeared meanwhile is never overwritten.
    const int fd = ::open(targetPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == EEXIST ? TargetIdResult::Exists : TargetIdResult::WriteFailed;
    File out(::fdopen(fd, "wb"));
    if (!out) {
        ::close(fd);
        ::unlink(targetPath.constData());
        return TargetIdResult::WriteFailed;
    }
    bool readFailed = false;
    bool ok = std::fprintf(out.get(), "S0~I~%d\r\n", n) > 0;
    ok = ok && CopyLines(source.get(), out.get(), readFailed);
    ok = std::fclose(out.release()) == 0 && ok;
    if (!ok) {
        ::unlink(targetPath.constData());
        return readFailed ? TargetIdResult::ReadFailed : TargetIdResult::WriteFailed;
    }
    return TargetIdResult::Generated;
}
