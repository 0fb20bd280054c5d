#include "Dialogs.h"

#include "ScreenPlacement.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QUrl>

namespace platform {
namespace {

constexpr int kCrampedFileDialog = 200;
constexpr QSize kRoomyFileDialog{640, 420};

MessageHandler messageHandler;
FileDialogHandler fileDialogHandler;
ModalDialogHandler modalDialogHandler;
DesktopOpenHandler desktopOpenHandler;

MessageResult RealMessageBox(const MessageRequest &request) {
    QMessageBox box;
    // Shown as written: a text with "<" in it (a file name, a script's message) is never markup.
    box.setTextFormat(Qt::PlainText);
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

// The chosen filter counted from 1 (0: none). With the patterns hidden, Qt names the chosen
// filter by its shown text alone, without the patterns it hides.
int ChosenFilterIndex(const QString &chosen, const QStringList &filters) {
    static const QRegularExpression patterns(QStringLiteral("^(.*)\\([^()]*\\)$"));
    for (qsizetype i = 0; i < filters.size(); ++i) {
        const QRegularExpressionMatch shown = patterns.match(filters[i]);
        if (filters[i] == chosen || (shown.hasMatch() && shown.captured(1).simplified() == chosen))
            return static_cast<int>(i) + 1;
    }
    return 0;
}

QString RealFileDialog(const FileDialogRequest &request, FileDialogOutcome *outcome) {
    QFileDialog dialog(nullptr, request.caption, request.directory);
    // The patterns are in each filter's description already: show it alone, not twice.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(NameFilters(request.filter));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save || request.mayCreate ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    const QStringList filters = dialog.nameFilters();
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    // Placed and stored as position of the frame and size of the dialog, so the place does not
    // drift by the frame's width from one showing to the next.
    if (request.windowRect != nullptr && request.windowRect->isValid())
        PlaceWindow(dialog, request.windowRect->topLeft(), request.windowRect->size());
    const int result = dialog.exec();
    if (request.windowRect != nullptr)
        *request.windowRect = QRect(dialog.pos(), dialog.size());
    if (outcome)
        outcome->filterIndex = ChosenFilterIndex(dialog.selectedNameFilter(), filters);
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty())
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

QString ShowFileDialog(const FileDialogRequest &request, FileDialogOutcome *outcome) {
    // A missing folder would start the dialog elsewhere with the folder's name in the file box.
    FileDialogRequest resolved = request;
    resolved.directory = NearestExistingFolder(request.directory);
    // A stored size at or below the 200 x 200 default in either direction has no room to choose
    // a file in (three names in view); such a dialog opens at a usable size at its stored place.
    if (request.windowRect != nullptr && (request.windowRect->width() <= kCrampedFileDialog ||
                                          request.windowRect->height() <= kCrampedFileDialog))
        request.windowRect->setSize(request.windowRect->size().expandedTo(kRoomyFileDialog));
    if (!fileDialogHandler)
        return RealFileDialog(resolved, outcome);
    if (outcome)
        outcome->filterIndex = request.filterIndex;
    return fileDialogHandler(resolved);
}

int ShowModalDialog(QDialog &dialog) {
    return modalDialogHandler ? modalDialogHandler(dialog) : dialog.exec();
}

bool OpenWithDesktop(const QString &path) {
    return desktopOpenHandler ? desktopOpenHandler(path)
                              : QDesktopServices::openUrl(QUrl::fromLocalFile(path));
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

void SetDesktopOpenHandler(DesktopOpenHandler handler) {
    desktopOpenHandler = std::move(handler);
}

void ShowMessage(const QString &text, const QString &caption) {
    ShowMessageBox({text, caption, MessageButtons::Ok, MessageIcon::None});
}

bool AskYesNo(const QString &text, const QString &caption) {
    return ShowMessageBox({text, caption, MessageButtons::YesNo, MessageIcon::Question}) ==
           MessageResult::Yes;
}

} // namespace platform
