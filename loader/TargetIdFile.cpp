#include "TargetIdFile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

QString TargetIdFileName(const QString &firmwareFile, int n)
{
    const int slash = static_cast<int>(firmwareFile.lastIndexOf(QLatin1Char('/')));
    const int dot = static_cast<int>(firmwareFile.lastIndexOf(QLatin1Char('.')));
    const QString id = QStringLiteral(" (ID%1)").arg(n);
    if (dot <= slash)
        return firmwareFile + id;
    return firmwareFile.left(dot) + id + firmwareFile.mid(dot);
}

namespace {

bool StartsWithTargetId(const std::string &line)
{
    return line.size() >= 5 && line[0] == 'S' && line[1] == '0' && line[2] == '~' &&
           (line[3] == 'I' || line[3] == 'i') && line[4] == '~';
}

} // namespace

TargetIdResult WriteTargetIdFile(const QString &firmwareFile, const QString &target, int n)
{
    if (QFileInfo::exists(target))
        return TargetIdResult::Exists;
    std::FILE *source = std::fopen(firmwareFile.toLocal8Bit().constData(), "rb");
    if (source == nullptr)
        return TargetIdResult::SourceUnreadable;
    const QByteArray targetPath = target.toLocal8Bit();
    const int fd = ::open(targetPath.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        std::fclose(source);
        return errno == EEXIST ? TargetIdResult::Exists : TargetIdResult::TargetUnwritable;
    }
    std::FILE *out = ::fdopen(fd, "wb");
    if (out == nullptr) {
        ::close(fd);
        std::fclose(source);
        ::unlink(targetPath.constData());
        return TargetIdResult::TargetUnwritable;
    }
    bool ok = std::fprintf(out, "S0~I~%d\r\n", n) > 0;
    std::string line;
    int c = 0;
    auto flush = [&](bool atEnd) {
        if (atEnd && line.empty())
            return;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // The copy's only target-ID record must be the new one: it would lose to an older one.
        if (!StartsWithTargetId(line)) {
            line += "\r\n";
            ok = ok && std::fwrite(line.data(), 1, line.size(), out) == line.size();
        }
        line.clear();
    };
    while ((c = std::fgetc(source)) != EOF) {
        if (c == '\n')
            flush(false);
        else
            line.push_back(static_cast<char>(c));
    }
    flush(true);
    ok = ok && !std::ferror(source);
    std::fclose(source);
    ok = (std::fclose(out) == 0) && ok;
    if (!ok) {
        ::unlink(targetPath.constData());
        return TargetIdResult::TargetUnwritable;
    }
    return TargetIdResult::Generated;
}
