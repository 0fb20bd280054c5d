#include "NumberedFile.h"

#include "WholeFile.h"

#include <QBuffer>
#include <QFileInfo>
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
    QBuffer bytes;
    if (!bytes.open(QIODevice::WriteOnly) || !write(bytes)) {
        result.outcome = NumberedFileResult::Outcome::WriteFailed;
        result.path = FirstFreeNumberedName(directory, pattern, index);
        return result;
    }
    // A name taken between the look and the write is passed over for the next free one.
    for (int tries = 0; tries < kNumberedFileTries; ++tries) {
        result.path = FirstFreeNumberedName(directory, pattern, index);
        if (result.path.isEmpty())
            return result;
        switch (platform::CreateWhole(result.path, bytes.data())) {
        case platform::CreateOutcome::Created:
            result.outcome = NumberedFileResult::Outcome::Written;
            return result;
        case platform::CreateOutcome::Failed:
            result.outcome = NumberedFileResult::Outcome::WriteFailed;
            return result;
        case platform::CreateOutcome::Exists:
            break;
        }
    }
    return result;
}
