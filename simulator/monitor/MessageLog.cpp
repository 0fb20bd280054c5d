#include "MessageLog.h"

#include "NumberedFile.h"

#include "Clock.h"
#include "WholeFile.h"

#include <QFile>
#include <QFileInfo>
#include <cinttypes>
#include <cstdio>
#include <ctime>

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
        failing = !platform::AppendWhole(name, {}, true, protectedFile);
}

MessageLog::Result MessageLog::LogMessage(const char *text, std::uint32_t tick) {
    if (text == nullptr)
        return Result::Skipped;
    const MessageCategory category = classifier.ClassifyMessage(text);
    if (!Selected(category))
        return Result::Skipped;
    const bool written =
        platform::AppendWhole(ActiveFileName(), FormatLogLine(text, category, tick), false, protectedFile);
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
    // The settings file named as the log is no log: moved away, the settings would be gone.
    if (platform::IsSameFile(fileNameNoPrompt, protectedFile))
        return SequenceResult::RenameFailed;
    const QString candidate = FirstFreeNumberedName(startDirectory, "Pelmora%03d.log", index);
    if (candidate.isEmpty())
        return SequenceResult::NoneAvailable;
    return platform::MoveWhole(fileNameNoPrompt, candidate) ? SequenceResult::Renamed
                                                            : SequenceResult::RenameFailed;
}

MessageLog::EraseCheck MessageLog::CheckErase() const {
    const QFileInfo file(fileNameNoPrompt);
    if (!file.exists())
        return EraseCheck::Missing;
    if (platform::IsSameFile(fileNameNoPrompt, protectedFile))
        return EraseCheck::AccessDenied;
    return file.isFile() && file.isReadable() && file.isWritable() ? EraseCheck::Erasable
                                                                   : EraseCheck::AccessDenied;
}

bool MessageLog::EraseLogFile() const {
    return QFile::remove(fileNameNoPrompt);
}
