#pragma once
#include <QString>
#include <QStringList>
#include <functional>

class QDialog;
class QWidget;

namespace platform {

// Every modal box the programs show goes through here, so a test can answer it without a
// person. The default handlers show a QMessageBox/QFileDialog; a test installs its own.
enum class MessageButtons { Ok, YesNo, OkCancel };
enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageResult { Ok, Cancel, Yes, No };

struct MessageRequest {
    QString text;
    QString caption;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
};

struct FileDialogRequest {
    bool save = false;
    QString caption;
    // Where the dialog starts; a folder that does not exist (yet) gives way to the nearest
    // existing one above it.
    QString directory;
    QString fileName;
    // Either the class library's form, pairs of a shown description and its patterns
    // ("Hex Files (*.HEX)|*.hex|All Files (*.*)|*.*"), or Qt's ("Hex Files (*.hex);;All (*)").
    QString filter;
    QString defaultSuffix;
};

using MessageHandler = std::function<MessageResult(const MessageRequest &)>;
// Gets a dialog ready to show; returns its result (QDialog::Accepted or Rejected).
using ModalDialogHandler = std::function<int(QDialog &)>;
// Returns the chosen file name, or an empty text when the user cancelled.
using FileDialogHandler = std::function<QString(const FileDialogRequest &)>;

MessageResult ShowMessageBox(const MessageRequest &request);
QString ShowFileDialog(const FileDialogRequest &request);
// Shows one of the programs' own dialogs modally and returns its result.
int ShowModalDialog(QDialog &dialog);

// Install a handler for the calls above; an empty function restores the real dialogs.
void SetMessageHandler(MessageHandler handler);
void SetFileDialogHandler(FileDialogHandler handler);
void SetModalDialogHandler(ModalDialogHandler handler);

// The folder itself when it exists, else the nearest existing folder above it (a relative path
// counts from the current folder); an empty path stays empty.
QString NearestExistingFolder(const QString &path);

// A filter of either form as Qt's name filters: each shows its description, and its patterns
// match either letter case ("*.*" is every file, as it is where the form comes from).
QStringList NameFilters(const QString &filter);

// Shortcuts for the common boxes.
void ShowMessage(const QString &text, const QString &caption = {});
bool AskYesNo(const QString &text, const QString &caption);

} // namespace platform
