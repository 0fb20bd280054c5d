#pragma once
#include <QRect>
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
    // The filter shown first, counted from 1 as the settings store it; 0 or out of range: the first.
    int filterIndex = 0;
    // An open dialog that also takes the name of a file not there yet (a log about to be written).
    bool mayCreate = false;
    // When set: the dialog shows there, and its rectangle is stored back when it closes.
    QRect *windowRect = nullptr;
};

// How the user left a file dialog, besides the name: the filter chosen (a handler leaves the
// request's filter).
struct FileDialogOutcome {
    int filterIndex = 0;
};

using MessageHandler = std::function<MessageResult(const MessageRequest &)>;
// Gets a dialog ready to show; returns its result (QDialog::Accepted or Rejected).
using ModalDialogHandler = std::function<int(QDialog &)>;
// Returns the chosen file name, or an empty text when the user cancelled.
using FileDialogHandler = std::function<QString(const FileDialogRequest &)>;
// Opens a file with the desktop's own program for it; returns whether one was started.
using DesktopOpenHandler = std::function<bool(const QString &path)>;

MessageResult ShowMessageBox(const MessageRequest &request);
// With outcome given, it gets the filter and the place the dialog closed with (a handler leaves
// the request's filter and an empty place).
QString ShowFileDialog(const FileDialogRequest &request, FileDialogOutcome *outcome = nullptr);
// Shows one of the programs' own dialogs modally and returns its result.
int ShowModalDialog(QDialog &dialog);
// Hands a file to the desktop's program for it (a text editor for a log); the path goes over as
// one argument, never through a command line.
bool OpenWithDesktop(const QString &path);

// Install a handler for the calls above; an empty function restores the real dialogs.
void SetMessageHandler(MessageHandler handler);
void SetFileDialogHandler(FileDialogHandler handler);
void SetModalDialogHandler(ModalDialogHandler handler);
void SetDesktopOpenHandler(DesktopOpenHandler handler);

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
