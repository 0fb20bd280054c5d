#include "WholeFile.h"

#include <QSaveFile>

namespace platform {

bool FlushWhole(QSaveFile &file) {
    if (file.isOpen() && file.error() == QFileDevice::NoError && file.flush())
        return true;
    file.cancelWriting();
    return false;
}

bool CommitWhole(QSaveFile &file) {
    if (!file.isOpen())
        return false;
    if (!FlushWhole(file)) {
        file.commit(); // discards the temporary file
        return false;
    }
    return file.commit();
}

bool SaveWhole(const QString &path, const QByteArray &data, bool directWriteFallback) {
    QSaveFile file(path);
    file.setDirectWriteFallback(directWriteFallback);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return CommitWhole(file);
}

ReadOutcome ReadWholeFile(const std::string &path, std::string &data) {
    data.clear();
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return ReadOutcome::OpenFailed;
    const ReadOutcome outcome = ReadWholeFile(file, data);
    std::fclose(file);
    return outcome;
}

ReadOutcome ReadWholeFile(std::FILE *file, std::string &data) {
    data.clear();
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        data.append(buffer, got);
    if (std::ferror(file)) {
        data.clear();
        return ReadOutcome::ReadFailed;
    }
    return ReadOutcome::Read;
}

LineOutcome ReadLine(std::FILE *file, std::string &line) {
    line.clear();
    int c = 0;
    while ((c = std::getc(file)) != EOF && c != '\n')
        line.push_back(static_cast<char>(c));
    if (std::ferror(file))
        return LineOutcome::ReadFailed;
    if (c == EOF && line.empty())
        return LineOutcome::End;
    return LineOutcome::Line;
}

} // namespace platform
