#include "MessageLog.h"

#include "NumberedFile.h"

#include "Clock.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Writes bytes to the end of a regular file, or over it; false when any step fails. Anything
// else (a named pipe, a device) is refused, before it is opened and again once it is: opening or
// writing one can hold the window for as long as nobody reads it, and opening a device can
// already act on it.
bool WriteFile(const QString &name, bool overwrite, const std::string &bytes) {
    if (name.isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(name);
    struct stat info {};
    if (::stat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return false;
    const int fd =
        ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool written =
        ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && (!overwrite || ::ftruncate(fd, 0) == 0);
    const off_t before = overwrite ? 0 : info.st_size;
    std::size_t done = 0;
    while (written && done < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        written = count > 0;
        done += written ? static_cast<std::size_t>(count) : 0;
    }
    // Part of a line would be glued to the next line written once there is room again (a full
    // disk): the file is cut back to the whole lines it held.
    if (!written && done > 0)
        ::ftruncate(fd, before);
    return ::close(fd) == 0 && written;
}

} // namespace

QString MessageLog::ActiveFileName() const {
    return options.promptForFilename ? promptedFileName : fileNameNoPrompt;
}

bool MessageLog::AnyCategorySelected() const {
    return options.rfpMessages || options.dgpsMessages || options.lightBarMessages ||
           options.holvanekMessages || options.nonNmeaMessages || options.otherMessages;
}

bool MessageLog::Selected(MessageCategory category) const {
    switch (category) {
    case MessageCategory::Rfp:
        return options.rfpMessages;
    case MessageCategory::Dgps:
        return options.dgpsMessages;
    case MessageCategory::LightBar:
        return options.lightBarMessages;
    case MessageCategory::Holvanek:
        return options.holvanekMessages;
    case MessageCategory::NonNmea:
        return options.nonNmeaMessages;
    case MessageCategory::OtherSentence:
        return options.otherMessages;
    default:
        return false;
    }
}

void MessageLog::StartRun() {
    failing = false;
    const QString name = ActiveFileName();
    if (options.overWriteFile && !name.isEmpty())
        failing = !WriteFile(name, true, {});
}

MessageLog::Result MessageLog::LogMessage(const char *text, std::uint32_t tick) {
    if (text == nullptr)
        return Result::Skipped;
    const MessageCategory category = classifier.ClassifyMessage(text);
    if (!Selected(category))
        return Result::Skipped;
    const bool written = WriteFile(ActiveFileName(), false, FormatLogLine(text, category, tick));
    failing = !written;
    return written ? Result::Written : Result::Failed;
}

std::string MessageLog::FormatLogLine(const char *text, MessageCategory category, std::uint32_t tick) const {
    std::string line;
    if (options.date || options.time) {
        // One reading of the clock for both columns, so they never straddle midnight.
        const std::time_t now = static_cast<std::time_t>(platform::Now());
        std::tm local{};
        localtime_r(&now, &local);
        char part[16];
        if (options.date && std::strftime(part, sizeof part, "%m/%d/%y,", &local) > 0)
            line += part;
        if (options.time && std::strftime(part, sizeof part, "%H:%M:%S,", &local) > 0)
            line += part;
    }
    if (options.msTickCount) {
        char part[16];
        std::snprintf(part, sizeof part, "%" PRIu32 ",", tick);
        line += part;
    }
    line += text;
    if (options.nmeaChecksum && category != MessageCategory::NonNmea) {
        std::uint8_t sum = 0;
        for (const char *p = text; *p != '\0'; ++p)
            sum = *p == '$' ? 0 : static_cast<std::uint8_t>(sum ^ static_cast<std::uint8_t>(*p));
        char part[8];
        std::snprintf(part, sizeof part, "*%02X", sum);
        line += part;
    }
    line += "\r\n";
    return line;
}

MessageLog::SequenceResult MessageLog::SequenceLogFile(const QString &startDirectory, int &index) const {
    const QString candidate = FirstFreeNumberedName(startDirectory, "Pelmora%03d.log", index);
    if (candidate.isEmpty())
        return SequenceResult::NoneAvailable;
    return QFile::rename(fileNameNoPrompt, candidate) ? SequenceResult::Renamed
                                                      : SequenceResult::RenameFailed;
}

MessageLog::EraseCheck MessageLog::CheckErase() const {
    const QFileInfo file(fileNameNoPrompt);
    if (!file.exists())
        return EraseCheck::Missing;
    return file.isFile() && file.isReadable() && file.isWritable() ? EraseCheck::Erasable
                                                                   : EraseCheck::AccessDenied;
}

bool MessageLog::EraseLogFile() const {
    return QFile::remove(fileNameNoPrompt);
}
