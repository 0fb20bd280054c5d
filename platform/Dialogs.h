#pragma once
#include <QRect>
#include <QString>
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
    QString directory;
    QString fileName;
    QString filter;
    QString defaultSuffix;
    int filterIndex = 0; // 1-based filter shown first; 0 for the first
};

// How the user left a file dialog, besides the name: the filter chosen and where the dialog was.
struct FileDialogOutcome {
    int filterIndex = 0;
    QRect geometry;
};

using MessageHandler = std::function<MessageResult(const MessageRequest &)>;
// Gets a dialog ready to show; returns its result (QDialog::Accepted or Rejected).
using ModalDialogHandler = std::function<int(QDialog &)>;
// Returns the chosen file name, or an empty text when the user cancelled.
using FileDialogHandler = std::function<QString(const FileDialogRequest &)>;

MessageResult ShowMessageBox(const MessageRequest &request);
// With outcome given, it gets the filter and the place the dialog closed with (a handler leaves
// the request's filter and an empty place).
QString ShowFileDialog(const FileDialogRequest &request, FileDialogOutcome *outcome = nullptr);
// Shows one of the programs' own dialogs modally and returns its result.
int ShowModalDialog(QDialog &dialog);

// Install a handler for the calls above; an empty function restores the real dialogs.
void SetMessageHandler(MessageHandler handler);
void SetFileDialogHandler(FileDialogHandler handler);
void SetModalDialogHandler(ModalDialogHandler handler);

// Shortcuts for the common boxes.
void ShowMessage(const QString &text, const QString &caption = {});
bool AskYesNo(const QString &text, const QString &caption);

} // namespace platform
