#pragma once
#include <QString>

// Target-ID copies of a firmware file: the header record "S0~I~n" followed by the file's lines.

// "dir/app.hex" with n 3 gives "dir/app (ID3).hex".
QString TargetIdFileName(const QString &firmwareFile, int n);

enum class TargetIdResult { Generated, Exists, SourceUnreadable, ReadFailed, WriteFailed };

// Writes the copy, never over an existing file and never half: a failure leaves no file.
TargetIdResult WriteTargetIdFile(const QString &firmwareFile, const QString &target, int n);
