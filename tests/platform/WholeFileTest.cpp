#include "WholeFile.h"

#include "FileFaults.h"

#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace platform;

TEST(WholeFile, AFileIsReplacedOnlyByOneWrittenWhole) {
    testsupport::FullDisk disk;
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const QString path = QString::fromStdString(disk.Path() + "/settings.conf");
    ASSERT_TRUE(SaveWhole(path, "Port=3\n"));
    disk.Fill();
    // Under Qt's own buffer, so only the flush inside the commit could find the disk full.
    EXPECT_FALSE(SaveWhole(path, QByteArray(6000, 'x')));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "Port=3\n");
    disk.Release();
    EXPECT_TRUE(SaveWhole(path, "Port=4\n"));
}

TEST(WholeFile, AReadErrorIsNeverTheEndOfTheFile) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("script.txt").toStdString();
    std::string data;
    EXPECT_EQ(ReadWholeFile(path, data, 100), ReadOutcome::OpenFailed);
    testsupport::MakeUnreadable(path);
    EXPECT_EQ(ReadWholeFile(path, data, 100), ReadOutcome::ReadFailed);
    std::FILE *file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::string line;
    EXPECT_EQ(ReadLine(file, line), LineOutcome::ReadFailed);
    std::fclose(file);

    // Reads that fail just after a line end that is also the end of stdio's buffer.
    const std::string lines = std::string(4095, 'a') + '\n' + std::string(4095, 'b') + '\n';
    file = testsupport::StreamThatFailsAfter(lines);
    EXPECT_EQ(ReadWholeFile(file, data), ReadOutcome::ReadFailed);
    std::fclose(file);
    file = testsupport::StreamThatFailsAfter(lines);
    EXPECT_EQ(ReadLine(file, line), LineOutcome::Line);
    EXPECT_EQ(ReadLine(file, line), LineOutcome::Line);
    EXPECT_EQ(ReadLine(file, line), LineOutcome::ReadFailed);
    std::fclose(file);

    QFile::remove(QString::fromStdString(path));
    QFile plain(QString::fromStdString(path));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("one\ntwo");
    plain.close();
    EXPECT_EQ(ReadWholeFile(path, data, 100), ReadOutcome::Read);
    EXPECT_EQ(data, "one\ntwo");
    file = std::fopen(path.c_str(), "rb");
    EXPECT_EQ(ReadLine(file, line), LineOutcome::Line);
    EXPECT_EQ(line, "one");
    EXPECT_EQ(ReadLine(file, line), LineOutcome::Line);
    EXPECT_EQ(line, "two");
    EXPECT_EQ(ReadLine(file, line), LineOutcome::End);
    std::fclose(file);
}

namespace {

std::string Contents(const std::string &path) {
    std::string data;
    ReadWholeFile(path, data, 1 << 20);
    return data;
}

bool IsCharacterDevice(const std::string &path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

} // namespace

TEST(WholeFile, OnlyARegularFileWithinItsBoundIsRead) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    std::string data = "stale";
    testsupport::MakeFifo(folder + "/pipe");
    EXPECT_EQ(ReadWholeFile(folder + "/pipe", data, 100), ReadOutcome::NotRegular);
    EXPECT_EQ(ReadWholeFile(folder, data, 100), ReadOutcome::NotRegular);
    EXPECT_TRUE(data.empty());
    if (testsupport::MakeEndlessDevice(folder + "/zero")) {
        EXPECT_EQ(ReadWholeFile(folder + "/zero", data, 100), ReadOutcome::NotRegular);
    }

    ASSERT_TRUE(SaveWhole(dir.filePath("image.hex"), QByteArray(100, 'x')));
    std::filesystem::create_symlink(folder + "/image.hex", folder + "/link.hex");
    EXPECT_EQ(ReadWholeFile(folder + "/link.hex", data, 100), ReadOutcome::Read);
    EXPECT_EQ(data, std::string(100, 'x'));
    EXPECT_EQ(ReadWholeFile(folder + "/image.hex", data, 99), ReadOutcome::TooLarge);
    EXPECT_TRUE(data.empty());
    // A header needs the file's start only; the file is still held to its bound.
    EXPECT_EQ(ReadFileStart(folder + "/image.hex", data, 100, 10), ReadOutcome::Read);
    EXPECT_EQ(data, std::string(10, 'x'));
    EXPECT_EQ(ReadFileStart(folder + "/image.hex", data, 99, 10), ReadOutcome::TooLarge);
}

TEST(WholeFile, NothingButARegularFileIsWrittenReplacedOrMoved) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    testsupport::MakeFifo(folder + "/pipe");
    const QString pipe = dir.filePath("pipe");
    EXPECT_FALSE(AppendWhole(pipe, "line\n"));
    EXPECT_FALSE(SaveWhole(pipe, "Port=3\n"));
    EXPECT_FALSE(MoveWhole(pipe, dir.filePath("moved")));
    EXPECT_FALSE(MoveWhole(dir.path(), dir.filePath("moved")));
    EXPECT_FALSE(QFile::exists(dir.filePath("moved")));
    if (testsupport::MakeEndlessDevice(folder + "/zero")) {
        std::filesystem::create_symlink(folder + "/zero", folder + "/settings.ini");
        EXPECT_FALSE(SaveWhole(dir.filePath("settings.ini"), "Port=3\n"));
        EXPECT_FALSE(SaveWhole(dir.filePath("zero"), "Port=3\n", true));
        EXPECT_FALSE(AppendWhole(dir.filePath("settings.ini"), "line\n", true));
        EXPECT_TRUE(IsCharacterDevice(folder + "/zero"));
    }
}

TEST(WholeFile, AnAppendNeverReachesTheProtectedFileAndGoesInWholeOrNotAtAll) {
    QTemporaryDir dir;
    const QString settings = dir.filePath("Pelmora.ini");
    ASSERT_TRUE(SaveWhole(settings, "[Configuration]\n"));
    QFile::link(settings, dir.filePath("log.txt"));
    EXPECT_TRUE(IsSameFile(settings, dir.filePath("log.txt")));
    EXPECT_FALSE(AppendWhole(dir.filePath("log.txt"), "line\n", true, settings));
    EXPECT_EQ(Contents(settings.toStdString()), "[Configuration]\n");
    EXPECT_TRUE(AppendWhole(dir.filePath("other.log"), "one\n", false, settings));
    EXPECT_TRUE(AppendWhole(dir.filePath("other.log"), "two\n", false, settings));
    EXPECT_EQ(Contents(dir.filePath("other.log").toStdString()), "one\ntwo\n");

    testsupport::FullDisk disk;
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const QString log = QString::fromStdString(disk.Path() + "/run.log");
    ASSERT_TRUE(AppendWhole(log, "first\n"));
    disk.Fill(100);
    EXPECT_FALSE(AppendWhole(log, std::string(8000, 'x')));
    EXPECT_EQ(Contents(log.toStdString()), "first\n");
}

TEST(WholeFile, AFileWrittenInPlaceOnAFullDiskKeepsItsOldBytes) {
    testsupport::FullDisk disk;
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const QString path = QString::fromStdString(disk.Path() + "/Pelmora.ini");
    const QByteArray old = QByteArray(5000, 'o');
    ASSERT_TRUE(SaveWhole(path, "Port=3\n"));
    ASSERT_TRUE(ReplaceInPlace(path, old));
    disk.Fill();
    EXPECT_FALSE(ReplaceInPlace(path, QByteArray(9000, 'n')));
    EXPECT_EQ(Contents(path.toStdString()), old.toStdString());
    EXPECT_TRUE(ReplaceInPlace(path, "short\n"));
    EXPECT_EQ(Contents(path.toStdString()), "short\n");
}

TEST(WholeFile, AMoveToAnotherFileSystemOrATakenNameLeavesTheFileWhereItWas) {
    QTemporaryDir dir;
    const QString log = dir.filePath("run.log");
    ASSERT_TRUE(AppendWhole(log, "kept\n"));
    ASSERT_TRUE(AppendWhole(dir.filePath("taken.log"), "other\n"));
    EXPECT_FALSE(MoveWhole(log, dir.filePath("taken.log")));
    EXPECT_EQ(Contents(dir.filePath("taken.log").toStdString()), "other\n");
    testsupport::FullDisk disk;
    if (disk.Mounted()) {
        EXPECT_FALSE(MoveWhole(log, QString::fromStdString(disk.Path() + "/run001.log")));
        EXPECT_FALSE(QFile::exists(QString::fromStdString(disk.Path() + "/run001.log")));
    }
    EXPECT_TRUE(MoveWhole(log, dir.filePath("run001.log")));
    EXPECT_FALSE(QFile::exists(log));
    EXPECT_EQ(Contents(dir.filePath("run001.log").toStdString()), "kept\n");
}

TEST(WholeFile, ANewFileIsMadeWholeOrNotAtAllAndNeverOverAnother) {
    QTemporaryDir dir;
    const QString copy = dir.filePath("app (ID3).hex");
    EXPECT_EQ(CreateWhole(copy, "new\n"), CreateOutcome::Created);
    EXPECT_EQ(CreateWhole(copy, "other\n"), CreateOutcome::Exists);
    EXPECT_EQ(Contents(copy.toStdString()), "new\n");

    testsupport::FullDisk disk;
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    disk.Fill(100);
    const QString cut = QString::fromStdString(disk.Path() + "/Pelmora001.txt");
    EXPECT_EQ(CreateWhole(cut, QByteArray(8000, 'x')), CreateOutcome::Failed);
    EXPECT_FALSE(QFile::exists(cut));
}
