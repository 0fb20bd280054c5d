#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// Shows the program's name, release, file version, the loader engine's version and the
// program's legal notice.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *owner = nullptr);
    ~TfrmAbout() override;

    void FormCreate();
    void Button1Click();

    QLabel *Label1;
    QLabel *Image1;
    QLabel *lblRelease;
    QLabel *lblVersion;
    QLabel *lblLibraryVersion;
    QLabel *lblCopyRight;
    QPushButton *Button1;
};

// The box that exists now, if any.
extern TfrmAbout *frmAbout;
