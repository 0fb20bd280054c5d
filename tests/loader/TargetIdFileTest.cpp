#include "TargetIdFile.h"

#include "FileFaults.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(TargetIdFile, NameCarriesTheIdBeforeTheExtension) {
    EXPECT_EQ(TargetIdFileName("/fw/app.hex", 3), "/fw/app (ID3).hex");
    EXPECT_EQ(TargetIdFileName("/fw/app.v2.shex", 10), "/fw/app.v2 (ID10).shex");
    EXPECT_EQ(TargetIdFileName("/fw.d/app", 1), "/fw.d/app (ID1)");
}

TEST(TargetIdFile, CopyIsExactWithCrLfLines) {
    QTemporaryDir dir;
    const QString source = dir.filePath("app.hex");
    const QByteArray longRecord = "S3" + QByteArray(300, 'A'); // longer than any fixed line buffer
    WriteAll(source, "S0~P~KTR557\r\nS0~T~APP\n" + longRecord + "\r\nS70500000000FA");
    const QString target = TargetIdFileName(source, 3);
    ASSERT_EQ(WriteTargetIdFile(source, target, 3), TargetIdResult::Generated);
    EXPECT_EQ(ReadAll(target),
              "S0~I~3\r\nS0~P~KTR557\r\nS0~T~APP\r\n" + longRecord + "\r\nS70500000000FA\r\n");
}

TEST(TargetIdFile, OnlyTheNewTargetIdRecordLeadsTheCopy) {
    QTemporaryDir dir;
    const QString source = dir.filePath("boot.hex");
    // Header records are the leading "S0~" lines; a look-alike among the data is plain content.
    WriteAll(source, "S0~I~1\r\nS0~P~GARVO9\r\nS0~I~4\nS0~T~BOOT\r\nS1130000\r\nS0~I~7\r\n");
    const QString target = TargetIdFileName(source, 2);
    ASSERT_EQ(WriteTargetIdFile(source, target, 2), TargetIdResult::Generated);
    EXPECT_EQ(ReadAll(target), "S0~I~2\r\nS0~P~GARVO9\r\nS0~T~BOOT\r\nS1130000\r\nS0~I~7\r\n");
}

TEST(TargetIdFile, RefusalsAndFailuresLeaveNothingBehind) {
    QTemporaryDir dir;
    const QString source = dir.filePath("app.hex");
    WriteAll(source, "S0~P~KTR557\r\n");
    const QString target = TargetIdFileName(source, 2);
    WriteAll(target, "keep me");
    EXPECT_EQ(WriteTargetIdFile(source, target, 2), TargetIdResult::Exists);
    EXPECT_EQ(ReadAll(target), "keep me");

    // A name taken by a link to nowhere is taken: nothing is written where it points.
    const QString linked = TargetIdFileName(source, 6);
    ASSERT_TRUE(QFile::link(dir.filePath("elsewhere.hex"), linked));
    EXPECT_EQ(WriteTargetIdFile(source, linked, 6), TargetIdResult::Exists);
    EXPECT_FALSE(QFile::exists(dir.filePath("elsewhere.hex")));

    const QString missing = dir.filePath("missing.hex");
    EXPECT_EQ(WriteTargetIdFile(missing, TargetIdFileName(missing, 2), 2), TargetIdResult::SourceUnreadable);
    EXPECT_FALSE(QFile::exists(TargetIdFileName(missing, 2)));

    const QString nowhere = dir.filePath("no-such-folder/app (ID2).hex");
    EXPECT_EQ(WriteTargetIdFile(source, nowhere, 2), TargetIdResult::WriteFailed);
    EXPECT_FALSE(QFile::exists(nowhere));

    // A source that opens but cannot be read: the copy already begun is removed again.
    const QString folder = dir.filePath("folder.hex");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.hex"));
    EXPECT_EQ(WriteTargetIdFile(folder, TargetIdFileName(folder, 5), 5), TargetIdResult::ReadFailed);
    EXPECT_FALSE(QFile::exists(TargetIdFileName(folder, 5)));
    // A pipe is refused at once, never waited on.
    const QString pipe = dir.filePath("pipe.hex");
    testsupport::MakeFifo(pipe.toStdString());
    EXPECT_EQ(WriteTargetIdFile(pipe, TargetIdFileName(pipe, 5), 5), TargetIdResult::ReadFailed);
}
