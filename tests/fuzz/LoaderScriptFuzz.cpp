// Loader script files of any content: each line taken apart, then the whole file run by the main
// window's interpreter over an engine on fake ports. Lines that would reach the card or wait
// (LOAD, UPDATE, long DELAYs) are made comments, and files are named inside a folder of the
// target's own; every other keyword runs with whatever argument the input gives it.
#include "Dialogs.h"
#include "FakeComPort.h"
#include "FuzzApplication.h"
#include "KTR3LoaderIntf.h"
#include "LoaderScriptLine.h"
#include "loadmain.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

std::vector<std::string> FuzzSeeds() {
    return {
        "MESSAGE hello\nDEBUG 255\nCOM 3 57600\nOPTILOAD off\nPLATFORM KTR557\nBANNER Production\nQUIT\n",
        "FILE app.hex\r\nGENERATE 3\r\nGENERATE 3\r\nSETFILE bad.hex\r\nGENERATE 11\r\nBOOTTARGET 2\r\n",
        "  MESSAGE two blanks\nPWRPORT\t3\nPOWER on\nPOWER 1\nTIMEOUT -5\nTRACE 1\nTRACE 0\nRESET\nINIT\n",
        "delay 1\nREM nothing\nUNIT x\nPROMPT Insert card\nCLEANUP\nBOOTTARGET x\nMESSAGE never\n",
        "LOAD app.hex\nUPDATE\nCOM 2147483647 4294967295\nDEBUG -99999999999\n",
    };
}

namespace {

struct Window {
    QTemporaryDir dir;
    TMainForm *form = nullptr;

    Window() {
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit());
        QDir::setCurrent(dir.path()); // the engine's trace file goes here
        EnsureApplication();
        platform::SetMessageHandler(
            [](const platform::MessageRequest &) { return platform::MessageResult::Ok; });
        platform::SetFileDialogHandler([](const platform::FileDialogRequest &) { return QString(); });
        platform::SetModalDialogHandler([](QDialog &) { return 0; });
        Write("app.hex", "S0~P~KTR557\nS0~T~APP\nS0~V~1.0\nS3090001000001020304EB\nS70500010000F9\n");
        Write("bad.hex", "S3090001000001020304EB\n");
        LoaderInterface = new TLoaderInterface(nullptr, std::make_unique<testsupport::FakeComPort>(),
                                               std::make_unique<testsupport::FakeComPort>());
        InstallMainCallbacks(*LoaderInterface);
        form = new TMainForm; // lives as long as the process, like the application object
    }

    void Write(const char *name, const std::string &text) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(text.data(), static_cast<qint64>(text.size()));
    }
};

// Checks what taking a line apart promises, and returns the line as the run may execute it.
std::string Checked(const std::string &raw, int &delays, const QString &folder) {
    const ScriptLine line = SplitScriptLine(raw);
    if (line.word.find_first_of(" \t") != std::string::npos)
        std::abort();
    if (line.empty)
        return raw;
    std::string text = raw;
    if (text.ends_with('\n'))
        text.pop_back();
    if (text.ends_with('\r'))
        text.pop_back();
    const std::size_t space = text.find(' ');
    if (line.argument != (space == std::string::npos ? std::string() : text.substr(space + 1)))
        std::abort();
    const int number = ScriptArgToInt(line.argument);
    switch (line.keyword) {
    case ScriptKeyword::LOAD:
    case ScriptKeyword::UPDATE:
        return "REM " + raw;
    case ScriptKeyword::DELAY:
        return (number <= 5 && ++delays <= 3) ? raw : "REM " + raw;
    case ScriptKeyword::FILE:
    case ScriptKeyword::SETFILE: {
        std::string name;
        for (const char c : line.argument)
            if (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-')
                name += c;
        return line.word + " " + folder.toStdString() + "/" + name;
    }
    default:
        return raw;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static Window *window = new Window; // lives as long as the process
    const std::string input(reinterpret_cast<const char *>(data), size);
    std::string script;
    int delays = 0;
    for (std::size_t at = 0; at < input.size();) {
        std::size_t end = input.find('\n', at);
        end = end == std::string::npos ? input.size() : end + 1;
        script += Checked(input.substr(at, end - at), delays, window->dir.path());
        if (script.back() != '\n')
            script += '\n';
        at = end;
    }
    window->Write("run.lsf", script);

    TMainForm &form = *window->form;
    form.Memo1->clear();
    form.sScriptFileName = window->dir.filePath(QStringLiteral("run.lsf"));
    try {
        if (form.ExecuteScript() == 1) {
            const QString last = form.Memo1->toPlainText().section(QLatin1Char('\n'), -1);
            if (last != QLatin1String("Script Completed Successfully") &&
                last != QLatin1String("Script Aborted!"))
                std::abort();
        }
    } catch (const std::exception &) {
        // A line that raises (BOOTTARGET with no integer) ends the run; the window shows the error.
    }
    LoaderInterface->Shutdown();
    return 0;
}
