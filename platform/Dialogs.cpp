#include "Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace platform {
namespace {

MessageHandler messageHandler;
FileDialogHandler fileDialogHandler;
ModalDialogHandler modalDialogHandler;

MessageResult RealMessageBox(const MessageRequest &request) {
    QMessageBox box;
    box.setText(request.text);
    box.setWindowTitle(request.caption.isEmpty() ? QApplication::applicationName() : request.caption);
    switch (request.icon) {
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MessageIcon::None:
        break;
    }
    switch (request.buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MessageResult::Yes;
    case QMessageBox::No:
        return MessageResult::No;
    case QMessageBox::Cancel:
        return MessageResult::Cancel;
    default:
        return MessageResult::Ok;
    }
}

QString RealFileDialog(const FileDialogRequest &request) {
    QFileDialog dialog(nullptr, request.caption, request.directory);
    // The patterns are in each filter's description already: show it alone, not twice.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(NameFilters(request.filter));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

} // namespace

QString NearestExistingFolder(const QString &path) {
    if (path.isEmpty())
        return {};
    QString folder = QDir::cleanPath(QDir(path).absolutePath());
    while (!QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            break;
        folder = parent;
    }
    return folder;
}

QStringList NameFilters(const QString &filter) {
    if (!filter.contains(QLatin1Char('|')))
        return filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts);
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString &given : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString pattern =
                given.trimmed() == QLatin1String("*.*") ? QStringLiteral("*") : given.trimmed();
            for (const QString &variant : {pattern, pattern.toLower(), pattern.toUpper()})
                if (!variant.isEmpty() && !patterns.contains(variant))
                    patterns << variant;
        }
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

MessageResult ShowMessageBox(const MessageRequest &request) {
    return messageHandler ? messageHandler(request) : RealMessageBox(request);
}

QString ShowFileDialog(const FileDialogRequest &request) {
    // A missing folder would start the dialog elsewhere with the folder's name in the file box.
    FileDialogRequest resolved = request;
    resolved.directory = NearestExistingFolder(request.directory);
    return fileDialogHandler ? fileDialogHandler(resolved) : RealFileDialog(resolved);
}

int ShowModalDialog(QDialog &dialog) {
    return modalDialogHandler ? modalDialogHandler(dialog) : dialog.exec();
}

void SetMessageHandler(MessageHandler handler) {
    messageHandler = std::move(handler);
}

void SetFileDialogHandler(FileDialogHandler handler) {
    fileDialogHandler = std::move(handler);
}

void SetModalDialogHandler(ModalDialogHandler handler) {
    modalDialogHandler = std::move(handler);
}

void ShowMessage(const QString &text, const QString &caption) {
    ShowMessageBox({text, caption, MessageButtons::Ok, MessageIcon::None});
}

bool AskYesNo(const QString &text, const QString &caption) {
    return ShowMessageBox({text, caption, MessageButtons::YesNo, MessageIcon::Question}) ==
           MessageResult::Yes;
}

} // namespace platform
