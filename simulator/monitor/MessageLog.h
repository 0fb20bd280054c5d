#pragma once
#include "MessageCategory.h"
#include "MessageClassifier.h"

#include <QString>
#include <cstdint>
#include <string>

// The log's columns, the categories it takes and how it picks its file; copied from the
// Logging Options menu.
struct LogOptions {
    bool date = true;
    bool time = true;
    bool msTickCount = true;
    bool nmeaChecksum = false;
    bool rfpMessages = false;
    bool dgpsMessages = true;
    bool lightBarMessages = true;
    bool holvanekMessages = true;
    bool nonNmeaMessages = true;
    bool otherMessages = true;
    bool promptForFilename = false;
    bool overWriteFile = false;
};

// The message log: appends each line of a selected category to a text file, one line per
// message, opening and closing the file for every line so other programs can read it while a
// run goes on. Also renames the log into a numbered sequence and checks it for erasing.
class MessageLog {
public:
    enum class Result { Skipped, Written, Failed };
    enum class SequenceResult { Renamed, NoneAvailable, RenameFailed };
    enum class EraseCheck { Missing, Erasable, AccessDenied };

    LogOptions &Options() { return options; }
    const LogOptions &Options() const { return options; }

    // The file written without a prompt, as a path of this system ("/" separated).
    void SetFileNameNoPrompt(const QString &path) { fileNameNoPrompt = path; }
    const QString &FileNameNoPrompt() const { return fileNameNoPrompt; }
    // The file the user picked, exactly as picked; empty until one was.
    void SetPromptedFileName(const QString &path) { promptedFileName = path; }
    const QString &PromptedFileName() const { return promptedFileName; }
    QString ActiveFileName() const;
    bool AnyCategorySelected() const;
    // The program's own settings file: whatever name reaches it, the log never writes into it.
    void SetProtectedFile(const QString &path) { protectedFile = path; }

    // A logging run starts afresh: with "Overwrite Existing File" the file is emptied once here,
    // and every line after appends.
    void StartRun();
    void StopRun() { failing = false; }
    // Whether the last line of the run could not be written.
    bool IsFailing() const { return failing; }

    Result LogMessage(const char *text, std::uint32_t tick);
    // One line of the file, CR LF included.
    std::string FormatLogLine(const char *text, MessageCategory category, std::uint32_t tick) const;

    // Renames the log to the first "Pelmora%03d.log" in the start directory that does not exist,
    // from index on; index is left one past the name tried last.
    SequenceResult SequenceLogFile(const QString &startDirectory, int &index) const;
    EraseCheck CheckErase() const;
    bool EraseLogFile() const;

private:
    bool Selected(MessageCategory category) const;

    MessageClassifier classifier;
    LogOptions options;
    QString fileNameNoPrompt;
    QString promptedFileName;
    QString protectedFile;
    bool failing = false;
};
