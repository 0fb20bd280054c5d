#include "MessageLog.h"
#include "NumberedFile.h"

#include "Clock.h"
#include "FileFaults.h"
#include "PelmoraTestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <climits>
#include <gtest/gtest.h>
#include <string>

using pelmoratest::FileContents;

namespace {

void Touch(const QString &path, const QByteArray &content = {}) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
}

} // namespace

TEST(MessageLog, LinesCarryTheChosenColumns) {
    platform::VirtualClock clock(1.7e9);
    platform::ScopedClock useClock(clock);
    const QDateTime at = QDateTime::fromSecsSinceEpoch(1'700'000'000);
    const std::string date = at.toString("MM/dd/yy,").toStdString();
    const std::string time = at.toString("hh:mm:ss,").toStdString();
    struct Case {
        bool date, time, tick, checksum;
        std::uint32_t tickCount;
        const char *text;
        std::string line;
    };
    const Case cases[] = {
        {true, false, true, false, 42, "$GPGGA,1", date + "42,$GPGGA,1\r\n"},
        {true, true, false, false, 0, "$GPGGA,1", date + time + "$GPGGA,1\r\n"},
        {false, false, true, false, 0xFFFFFFFFu, "x", "4294967295,x\r\n"}, // unsigned
        {false, false, false, true, 0, "$GPGGA,1", "$GPGGA,1*4B\r\n"},
        // Only the bytes after the last "$" count; a plain line gets no checksum.
        {false, false, false, true, 0, "$GPGGA,1$PQVZK,6", "$GPGGA,1$PQVZK,6*5C\r\n"},
        {false, false, false, true, 0, "no sentence", "no sentence\r\n"},
    };
    for (const Case &c : cases) {
        MessageLog log;
        log.Options() = {c.date, c.time, c.tick, c.checksum};
        MessageClassifier classifier;
        EXPECT_EQ(log.FormatLogLine(c.text, classifier.ClassifyMessage(c.text), c.tickCount), c.line);
    }
}

TEST(MessageLog, WritesTheSelectedCategoriesAndTellsWhenItCannot) {
    QTemporaryDir dir;
    MessageLog log;
    log.Options() = {false, false, false, false};
    log.SetFileNameNoPrompt(dir.filePath("missing/x.log"));
    EXPECT_EQ(log.LogMessage("$GPGGA,1", 0), MessageLog::Result::Failed);
    EXPECT_TRUE(log.IsFailing());

    log.SetFileNameNoPrompt(dir.filePath("Pelmora.log"));
    EXPECT_EQ(log.LogMessage("$PQVZK,6", 0), MessageLog::Result::Skipped); // a key line is RFP, off
    EXPECT_TRUE(log.IsFailing());
    EXPECT_EQ(log.LogMessage("$GPGGA,1", 0), MessageLog::Result::Written);
    EXPECT_FALSE(log.IsFailing());
    log.Options().rfpMessages = true;
    log.Options().dgpsMessages = false;
    EXPECT_EQ(log.LogMessage("$PQVZK,6", 0), MessageLog::Result::Written);
    EXPECT_EQ(log.LogMessage("$GPGGA,2", 0), MessageLog::Result::Skipped);
    EXPECT_EQ(log.LogMessage("$PQVZ", 0), MessageLog::Result::Skipped);
    EXPECT_EQ(FileContents(dir.filePath("Pelmora.log")), "$GPGGA,1\r\n$PQVZK,6\r\n");
}

TEST(MessageLog, AFullDiskLeavesWholeLinesOnly) {
    testsupport::FullDisk disk;
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const QString path = QString::fromStdString(disk.Path() + "/Pelmora.log");
    MessageLog log;
    log.Options() = {false, false, false, false};
    log.SetFileNameNoPrompt(path);
    log.LogMessage("one", 0);
    disk.Fill();
    // The rest of the file's last page still takes part of a long line, then the disk is full.
    EXPECT_EQ(log.LogMessage(std::string(8000, 'x').c_str(), 0), MessageLog::Result::Failed);
    disk.Release();
    log.LogMessage("three", 0);
    EXPECT_EQ(FileContents(path), "one\r\nthree\r\n");
}

TEST(MessageLog, OverwriteEmptiesTheFileOnceARun) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Pelmora.log");
    Touch(path, "old\r\n");
    MessageLog log;
    log.Options() = {false, false, false, false};
    log.SetFileNameNoPrompt(path);
    log.StartRun(); // appending by default
    log.LogMessage("one", 0);
    EXPECT_EQ(FileContents(path), "old\r\none\r\n");
    log.Options().overWriteFile = true;
    log.StartRun();
    log.LogMessage("two", 0);
    log.LogMessage("three", 0);
    EXPECT_EQ(FileContents(path), "two\r\nthree\r\n");
}

TEST(MessageLog, SequenceTakesTheFirstFreeNumber) {
    QTemporaryDir dir;
    MessageLog log;
    log.SetFileNameNoPrompt(dir.filePath("Pelmora.log"));
    int index = 7;
    EXPECT_EQ(log.SequenceLogFile(dir.path(), index), MessageLog::SequenceResult::RenameFailed); // no log yet
    Touch(dir.filePath("Pelmora.log"), "log");
    Touch(dir.filePath("Pelmora007.log"));
    Touch(dir.filePath("Pelmora008.log"));
    index = 7;
    EXPECT_EQ(log.SequenceLogFile(dir.path(), index), MessageLog::SequenceResult::Renamed);
    EXPECT_EQ(index, 10);
    EXPECT_EQ(FileContents(dir.filePath("Pelmora009.log")), "log");
    EXPECT_FALSE(QFile::exists(dir.filePath("Pelmora.log")));
    // Only a regular file is a log to sequence: a folder in its place stays where it is.
    QDir(dir.path()).mkdir("folder.log");
    log.SetFileNameNoPrompt(dir.filePath("folder.log"));
    EXPECT_EQ(log.SequenceLogFile(dir.path(), index), MessageLog::SequenceResult::RenameFailed);
    EXPECT_TRUE(QFileInfo(dir.filePath("folder.log")).isDir());
    // Nor is the settings file, by whatever name it is given.
    MessageLog settingsLog;
    Touch(dir.filePath("Pelmora.ini"), "[Configuration]");
    settingsLog.SetProtectedFile(dir.filePath("Pelmora.ini"));
    settingsLog.SetFileNameNoPrompt(dir.filePath("Pelmora.ini"));
    EXPECT_EQ(settingsLog.SequenceLogFile(dir.path(), index), MessageLog::SequenceResult::RenameFailed);
    EXPECT_EQ(settingsLog.CheckErase(), MessageLog::EraseCheck::AccessDenied);
    EXPECT_EQ(FileContents(dir.filePath("Pelmora.ini")), "[Configuration]");

    QTemporaryDir full;
    for (int i = 1; i <= kNumberedFileTries; ++i)
        Touch(full.filePath(QString::asprintf("Pelmora%03d.log", i)));
    index = 1;
    EXPECT_EQ(log.SequenceLogFile(full.path(), index), MessageLog::SequenceResult::NoneAvailable);

    // An index typed by hand at the top of the range wraps instead of overflowing.
    index = INT_MAX;
    EXPECT_EQ(log.SequenceLogFile(dir.path(), index), MessageLog::SequenceResult::RenameFailed);
    EXPECT_EQ(index, 0);
}

TEST(MessageLog, EraseIsCheckedFirst) {
    QTemporaryDir dir;
    MessageLog log;
    log.SetFileNameNoPrompt(dir.filePath("Pelmora.log"));
    EXPECT_EQ(log.CheckErase(), MessageLog::EraseCheck::Missing);
    Touch(dir.filePath("Pelmora.log"));
    EXPECT_EQ(log.CheckErase(), MessageLog::EraseCheck::Erasable);
    EXPECT_TRUE(log.EraseLogFile());
    QDir(dir.path()).mkdir("Pelmora.log"); // not a file that can be erased
    EXPECT_EQ(log.CheckErase(), MessageLog::EraseCheck::AccessDenied);
}
