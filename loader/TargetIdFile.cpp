#include "TargetIdFile.h"

#include "SSEngine.h"
#include "WholeFile.h"

#include <QFile>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/stat.h>

QString TargetIdFileName(const QString &firmwareFile, int n) {
    const qsizetype slash = firmwareFile.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = firmwareFile.lastIndexOf(QLatin1Char('.'));
    const QString id = QStringLiteral(" (ID%1)").arg(n);
    if (dot <= slash)
        return firmwareFile + id;
    return firmwareFile.left(dot) + id + firmwareFile.mid(dot);
}

namespace {

// The firmware reader takes header records only from the file's leading "S0~" lines.
bool IsHeaderRecord(const std::string &line) {
    return line.size() > 3 && line.compare(0, 3, "S0~") == 0;
}

bool IsTargetIdRecord(const std::string &line) {
    return line.compare(0, 5, "S0~I~") == 0;
}

// Every line of source whole, each ended with CR LF (a CR already before the LF is not doubled),
// leaving out the leading target-ID records: the reader takes the last one, so an old one would
// win over the new record written first.
std::string CopiedLines(std::string_view source) {
    std::string copy;
    copy.reserve(source.size() + source.size() / 16);
    bool inHeader = true;
    while (!source.empty()) {
        const std::size_t end = source.find('\n');
        std::string_view line = source.substr(0, end);
        source.remove_prefix(end == std::string_view::npos ? source.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::string text(line);
        inHeader = inHeader && IsHeaderRecord(text);
        if (!(inHeader && IsTargetIdRecord(text)))
            copy.append(text).append("\r\n");
    }
    return copy;
}

} // namespace

TargetIdResult WriteTargetIdFile(const QString &firmwareFile, const QString &target, int n) {
    const QByteArray targetPath = QFile::encodeName(target);
    struct stat existing {};
    if (::lstat(targetPath.constData(), &existing) == 0)
        return TargetIdResult::Exists;
    // The source first, whole and through the same door and bound as the engine's reads: a copy is
    // only started when there is something to copy, and a pipe or device never holds the window.
    std::string source;
    switch (platform::ReadWholeFile(QFile::encodeName(firmwareFile).toStdString(), source,
                                    SSEngine::kMaxFirmwareFileBytes)) {
    case platform::ReadOutcome::Read:
        break;
    case platform::ReadOutcome::OpenFailed:
        return TargetIdResult::SourceUnreadable;
    case platform::ReadOutcome::NotRegular:
    case platform::ReadOutcome::TooLarge:
    case platform::ReadOutcome::ReadFailed:
        return TargetIdResult::ReadFailed;
    }
    const std::string copy = "S0~I~" + std::to_string(n) + "\r\n" + CopiedLines(source);
    switch (platform::CreateWhole(target, QByteArray::fromStdString(copy))) {
    case platform::CreateOutcome::Created:
        return TargetIdResult::Generated;
    case platform::CreateOutcome::Exists:
        return TargetIdResult::Exists; // one that appeared meanwhile is never overwritten
    case platform::CreateOutcome::Failed:
        break;
    }
    return TargetIdResult::WriteFailed;
}
