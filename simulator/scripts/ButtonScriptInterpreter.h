#pragma once
#include "ScriptRunState.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class FileSender;
class TickTimer;

// Runs a user button's script, one line per step of the 10 ms main loop and at most one line
// per 20 ms, without ever blocking: delays and waits for a reply are states that later steps
// test. Plain lines go to the device; lines beginning with "~" are commands.
class ButtonScriptInterpreter {
public:
    static constexpr std::size_t kPatternLimit = 49;
    static constexpr int kLineLimit = 599;
    static constexpr std::size_t kEarlierLineLimit = 100;
    static constexpr std::uint32_t kLineSpacingMs = 20;
    static constexpr std::uint32_t kDetailUpdateMs = 300;

    // What the interpreter needs of the window: the send path, the port's rate and RTS line,
    // and the labels that report a running script.
    class Host {
    public:
        virtual ~Host() = default;
        // Sends, logs and shows one line; a text ending in "~" loses it and goes without CR LF.
        virtual void SendScriptLine(std::string &text) = 0;
        virtual void SetScriptBaudRate(std::int32_t baud) = 0;
        // Whether bytes written to the open port are still on their way over the line.
        virtual bool TransmitPending() const = 0;
        virtual void SetScriptRts(bool on) = 0;
        virtual bool ShowScriptDetails() const = 0;
        virtual void ShowDelayReport(std::uint32_t lengthMs, std::uint32_t passedMs) = 0;
        virtual void ClearDelayReport() = 0;
        virtual void ShowLineReport(const QString &line) = 0;
        virtual void ShowMessageReport(const QString &text) = 0;
        virtual std::string ScriptStartDirectory() const = 0;
        virtual void ScriptStarted(int button) = 0;
        virtual void ScriptEnded(int button) = 0;
    };

    ButtonScriptInterpreter(ScriptRunState &state, FileSender &sender, Host &host, const TickTimer &timer);

    // Starts a script on a copy of its lines, so an edit made meanwhile cannot change what
    // runs; refused while a script runs or a file is being sent.
    bool Start(int script, int button, const QStringList &scriptLines);
    // One step; the main loop calls it after the received bytes are handled.
    void Step();
    bool IsRunning() const { return state.running; }

    // The main loop's part of a wait: a received plain line that ends with the pattern
    // matches it; a timed wait whose length has passed has timed out. A line that comes while
    // no wait is pending is kept for the next wait only, whatever commands run between: a fast
    // device answers before the wait is reached. One that comes during a wait is for it alone.
    void MatchRawLine(std::string_view line);
    void CheckWaitTime();

    // The file a script names: an absolute name exactly as it stands, a name with a directory in
    // it (either separator) as it stands, a bare name in the start directory.
    static std::string MakeStartDirPath(std::string_view name, std::string_view startDirectory);
    static std::string_view SkipToSpace(std::string_view text);
    static std::string_view SkipSpaces(std::string_view text);
    // A "~m" text whose first "%" is followed by "f", with that "%f" replaced by the file name and
    // every other character as written; nothing when the text asks for no name.
    static std::optional<std::string> ExpandSendFileName(std::string_view text, std::string_view fileName);

private:
    // Returns true when the line set the line index itself.
    bool RunLine(const std::string &line);
    bool RunCommand(std::string_view command, const std::string &line);
    void SendLine(std::string &text);
    void StartWait(std::string_view pattern, bool timed, std::uint32_t lengthMs);
    void SetBaudRate(std::int32_t baud);
    void SendFile(const std::string &path);
    void End();

    ScriptRunState &state;
    FileSender &sender;
    Host &host;
    const TickTimer &timer;
    std::vector<std::string> lines;
    bool fileSent = false; // a file send of the script's own started, its end not yet seen
    // The ends of the plain lines received while no wait was pending since the script last sent
    // a line, its file send ended or its last wait started; the newest kept when there are many.
    std::deque<std::string> earlierLines;
};
