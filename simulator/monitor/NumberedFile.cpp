#include "NumberedFile.h"

#include "WholeFile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <climits>

QString FirstFreeNumberedName(const QString &directory, const char *pattern, int &index) {
    for (int tries = 0; tries < kNumberedFileTries; ++tries) {
        const QString name = directory + '/' + QString::asprintf(pattern, index);
        index = index == INT_MAX ? 0 : index + 1; // an index from a hand-edited ini must not overflow
        if (!QFileInfo::exists(name))
            return name;
    }
    return {};
}

NumberedFileResult WriteNumberedFile(const QString &directory, const char *pattern, int &index,
                                     const std::function<bool(QIODevice &)> &write) {
    NumberedFileResult result;
    result.path = FirstFreeNumberedName(directory, pattern, index);
    if (result.path.isEmpty())
        return result;
    QSaveFile file(result.path);
    const bool written = file.open(QIODevice::WriteOnly) && write(file) && platform::CommitWhole(file);
    result.outcome =
        written ? NumberedFileResult::Outcome::Written : NumberedFileResult::Outcome::WriteFailed;
    return result;
}
