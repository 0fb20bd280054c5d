#include "Dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <tuple>

using namespace platform;

TEST(Dialogs, NearestExistingFolder) {
    QTemporaryDir dir;
    QFile file(dir.filePath("app.hex"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString here = QDir::currentPath();
    struct Case {
        QString path;
        QString expected;
    };
    for (const Case &c : {Case{dir.path(), dir.path()}, Case{dir.filePath("UPDATES"), dir.path()},
                          Case{dir.filePath("a/b/c"), dir.path()}, Case{dir.filePath("app.hex"), dir.path()},
                          Case{QStringLiteral("missing/UPDATES"), here}, Case{QString(), QString()}})
        EXPECT_EQ(NearestExistingFolder(c.path).toStdString(), c.expected.toStdString())
            << c.path.toStdString();
}

TEST(Dialogs, OpenDialogStartsInAnExistingFolderAndShowsEachFilterOnce) {
    QTemporaryDir dir;
    FileDialogRequest request;
    request.caption = QStringLiteral("Open");
    request.directory = dir.filePath("UPDATES"); // missing
    request.filter = QStringLiteral("All Hex Files (*.HEX, *.SHEX)|*.hex; *.shex|Hex Files (*.HEX)|*.hex|"
                                    "All Files (*.*)|*.*");
    QString shownDirectory, fileBox;
    QStringList shownFilters, nameFilters;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        shownDirectory = dialog->directory().path();
        fileBox = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
        const auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; i < types->count(); ++i)
            shownFilters << types->itemText(i);
        nameFilters = dialog->nameFilters();
        dialog->reject();
    });
    EXPECT_EQ(ShowFileDialog(request), QString());
    EXPECT_EQ(shownDirectory, dir.path());
    EXPECT_EQ(fileBox, QString());
    EXPECT_EQ(shownFilters,
              (QStringList{"All Hex Files (*.HEX, *.SHEX)", "Hex Files (*.HEX)", "All Files (*.*)"}));
    // Both letter cases match; "*.*" is every file.
    EXPECT_EQ(nameFilters, (QStringList{"All Hex Files (*.HEX, *.SHEX) (*.hex *.HEX *.shex *.SHEX)",
                                        "Hex Files (*.HEX) (*.hex *.HEX)", "All Files (*.*) (*)"}));
}

TEST(Dialogs, OpenDialogReportsTheFilterItClosedWith) {
    QTemporaryDir dir;
    QFile file(dir.filePath("app.hex"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    FileDialogRequest request;
    request.directory = dir.path();
    request.filter = QStringLiteral("Text files (*.txt)|*.txt|Hex Files (*.hex)|*.hex|All files (*.*)|*.*");
    // Kept as shown, picked from the list, and left at the first when the stored one is out of range.
    for (const auto &[stored, picked, expected] : {std::tuple{3, -1, 3}, {1, 1, 2}, {9, -1, 1}}) {
        request.filterIndex = stored;
        QTimer::singleShot(0, [&, picked = picked] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            if (picked >= 0)
                dialog->selectNameFilter(dialog->nameFilters().at(picked));
            dialog->selectFile(dir.filePath("app.hex"));
            static_cast<QDialog *>(dialog)->accept(); // as the Open button does
        });
        FileDialogOutcome outcome;
        EXPECT_EQ(ShowFileDialog(request, &outcome), dir.filePath("app.hex"));
        EXPECT_EQ(outcome.filterIndex, expected) << stored;
    }
}

TEST(Dialogs, AStoredSizeWithoutRoomToChooseOpensLarger) {
    // The stored default, a size the dialog once shrank to, and one the user chose.
    for (const auto &[stored, expected] : {std::tuple{QSize(200, 200), QSize(640, 420)},
                                           {QSize(323, 200), QSize(640, 420)},
                                           {QSize(700, 500), QSize(700, 500)}}) {
        QRect place(QPoint(50, 60), stored);
        FileDialogRequest request;
        request.windowRect = &place;
        QSize shown;
        SetFileDialogHandler([&](const FileDialogRequest &r) {
            shown = r.windowRect->size();
            return QString();
        });
        ShowFileDialog(request);
        SetFileDialogHandler({});
        EXPECT_EQ(shown, expected) << stored.width() << "x" << stored.height();
        EXPECT_EQ(place.topLeft(), QPoint(50, 60));
    }
}

TEST(Dialogs, AMessageBoxShowsItsTextAsWritten) {
    Qt::TextFormat format = Qt::RichText;
    QString shown;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        format = box->textFormat();
        shown = box->text();
        box->accept();
    });
    ShowMessageBox({QStringLiteral("<b>Load</b> &lt;boot.hex&gt;?"), QStringLiteral("Pelmora")});
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, "<b>Load</b> &lt;boot.hex&gt;?");
}
