#include "AboutBox.h"

#include "KTR3LoaderIntf.h"
#include "VersionInfo.h"
#include "loadmain.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

TfrmAbout *frmAbout = nullptr;

namespace {

QLabel *MakeLabel(QWidget *owner, const char *name, const QString &text) {
    auto *label = new QLabel(text, owner);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

TfrmAbout::TfrmAbout(QWidget *owner) : QDialog(owner) {
    frmAbout = this;
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    resize(388, 186);
    auto *grid = new QGridLayout(this);

    Image1 = MakeLabel(this, "Image1", {});
    Image1->setFixedSize(97, 89);
    Image1->setScaledContents(true);
    Image1->setPixmap(QApplication::style()->standardPixmap(QStyle::SP_DriveHDIcon));
    grid->addWidget(Image1, 0, 0, 4, 1);

    Label1 = MakeLabel(this, "Label1", QStringLiteral("Quorvel"));
    QFont big = Label1->font();
    big.setBold(true);
    big.setPixelSize(49);
    Label1->setFont(big);
    grid->addWidget(Label1, 0, 1, 1, 2);

    lblRelease = MakeLabel(this, "lblRelease", QStringLiteral("Release ??"));
    QFont bold = lblRelease->font();
    bold.setBold(true);
    lblRelease->setFont(bold);
    grid->addWidget(lblRelease, 1, 1, 1, 2);

    grid->addWidget(MakeLabel(this, "Label3", QStringLiteral("EXE Version: ")), 2, 1);
    lblVersion = MakeLabel(this, "lblVersion", {});
    grid->addWidget(lblVersion, 2, 2);
    grid->addWidget(MakeLabel(this, "Label5", QStringLiteral("Library Version: ")), 3, 1);
    lblLibraryVersion = MakeLabel(this, "lblLibraryVersion", QStringLiteral("LibraryVersion"));
    grid->addWidget(lblLibraryVersion, 3, 2);
    lblCopyRight = MakeLabel(this, "lblCopyRight", {});
    grid->addWidget(lblCopyRight, 4, 0, 1, 3);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    grid->addWidget(Button1, 5, 1, 1, 2, Qt::AlignHCenter);
    connect(Button1, &QPushButton::clicked, this, &TfrmAbout::Button1Click);

    FormCreate();
}

TfrmAbout::~TfrmAbout() {
    if (frmAbout == this)
        frmAbout = nullptr;
}

void TfrmAbout::FormCreate() {
    if (LoaderInterface != nullptr)
        lblLibraryVersion->setText(QString::fromLatin1(LoaderInterface->GetVersion()));
    const platform::VersionInfo version = platform::ProgramVersion();
    lblVersion->setText(version.fileVersion);
    lblRelease->setText(QStringLiteral("Release %1").arg(version.productVersion[2]));
    lblCopyRight->setText(version.legalCopyright);
}

void TfrmAbout::Button1Click() {
    accept();
}
