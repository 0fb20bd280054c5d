// Ini files of any content as the main window reads them at start (every setting, the send-line
// history and the 32 button scripts) and goes over them again at exit.
#include "FuzzApplication.h"
#include "TfPelmora.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>
#include <vector>

std::vector<std::string> FuzzSeeds() {
    return {
        "[Configuration]\r\nComPort=3\r\nBaudRate=38400\r\nRfpType=Off\r\nPelmoraWindowLeft=-40000\r\n"
        "LogFileNameNoPrompt=.\\logs\\today.log\r\n\r\n[UserButtons]\r\nButtonGroup=2\r\nButton9Caption="
        "Boot\r\n"
        "Button9Line1=SEND $PQVZK,1,1*00\r\nButton9Line2=WAIT 500\r\n",
        "[configuration]\nbaudrate=0x1C200\nComPort = 99999999999\n[Configuration]\nComPort=1\n"
        "[MessageDropDownLines]\nLine01=$PQVZQ,DID\nLine01=again\nLine20=a=b=c\n",
        "no section=1\n[\n]\n[ UserButtons ]\nButtonGroup=-1\n=empty key\nButton1Line100=" +
            std::string(700, 'x') + "\n",
    };
}

namespace {

struct StartFolder {
    QTemporaryDir dir;
    QString iniName;

    StartFolder() {
        QDir::setCurrent(dir.path()); // where the window keeps its ini file
        EnsureApplication();
        iniName = TfPelmora().GetIniFileName();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const StartFolder *folder = new StartFolder; // lives as long as the process
    QFile::remove(folder->iniName);
    {
        QFile file(folder->iniName);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    // Read-only, so exit leaves the file as it is rather than spending the run rewriting it; the
    // ini writer has a target of its own.
    QFile::setPermissions(folder->iniName, QFileDevice::ReadOwner);
    { TfPelmora window; }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
