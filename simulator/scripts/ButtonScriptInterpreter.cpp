#include "ButtonScriptInterpreter.h"

#include "FileSender.h"
#include "SerialPort.h"
#include "TickTimer.h"

#include "Dialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <limits>
#include <utility>

namespace {

// The leading decimal digits; the value stops growing at the largest signed 32-bit value, so a
// number of any length written in a script is never wrapped.
std::uint32_t LeadingDigits(std::string_view text) {
    constexpr std::uint32_t kMost = std::numeric_limits<std::int32_t>::max();
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(kMost, value * 10ull + static_cast<std::uint32_t>(text[i] - '0')));
    return value;
}

// A whole number after optional blanks, digits only, so a delay or a wait of any length written
// in a script can still run out.
std::uint32_t ReadNumber(std::string_view text) {
    return LeadingDigits(ButtonScriptInterpreter::SkipSpaces(text));
}

// An optional sign, then digits, anything after them ignored: a jump of any size leads past the
// script's end or before its start, never round to somewhere inside it.
std::int64_t ReadSignedNumber(std::string_view text) {
    const bool negative = text.starts_with('-');
    if (negative || text.starts_with('+'))
        text.remove_prefix(1);
    const std::int64_t value = LeadingDigits(text);
    return negative ? -value : value;
}

QString FromBytes(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

ButtonScriptInterpreter::ButtonScriptInterpreter(ScriptRunState &runState, FileSender &fileSender,
                                                 Host &scriptHost, const TickTimer &tickTimer)
    : state(runState), sender(fileSender), host(scriptHost), timer(tickTimer) {}

std::string_view ButtonScriptInterpreter::SkipToSpace(std::string_view text) {
    const std::size_t blank = text.find(' ');
    return blank == std::string_view::npos ? text.substr(text.size()) : text.substr(blank);
}

std::string_view ButtonScriptInterpreter::SkipSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? text.substr(text.size()) : text.substr(first);
}

std::string ButtonScriptInterpreter::MakeStartDirPath(std::string_view name,
                                                      std::string_view startDirectory) {
    std::string path(name);
    if (path.starts_with('/'))
        return path; // as a chosen file is: a backslash in it belongs to a name
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.find('/') != std::string::npos)
        return path;
    return std::string(startDirectory) + '/' + path;
}

std::optional<std::string> ButtonScriptInterpreter::ExpandSendFileName(std::string_view text,
                                                                       std::string_view fileName) {
    const std::size_t percent = text.find('%');
    if (percent == std::string_view::npos || percent + 1 >= text.size() || text[percent + 1] != 'f')
        return std::nullopt;
    std::string shown(text);
    shown.replace(percent, 2, fileName);
    return shown;
}

bool ButtonScriptInterpreter::Start(int script, int button, const QStringList &scriptLines) {
    if (state.running || sender.IsSending())
        return false;
    lines.clear();
    // A line longer than a script line may be (typed into the settings file) runs cut; the
    // settings keep it whole.
    for (const QString &line : scriptLines)
        lines.push_back(line.left(kLineLimit).toStdString());
    state.running = true;
    state.cancelRequested = false;
    state.delayActive = false;
    state.awaitingVersion = false;
    state.ClearWait();
    earlierLines.clear();
    sender.ForgetOwedReplies();
    host.ClearDelayReport();
    state.lineIndex = 0;
    state.script = script;
    state.button = button;
    state.lastLineTime = timer.Now();
    host.ScriptStarted(button);
    return true;
}

void ButtonScriptInterpreter::End() {
    state.running = false;
    sender.ForgetOwedReplies();
    host.ScriptEnded(state.button);
}

void ButtonScriptInterpreter::MatchRawLine(std::string_view line) {
    // A line that comes during a wait answers that wait or none: a later wait waits for a line
    // of its own, so the replies keep the order the script asks for them in.
    if (state.waitPending && !state.waitMatched && !state.waitTimedOut) {
        if (line.ends_with(state.waitPattern))
            state.waitMatched = true;
        return;
    }
    // While the script's file goes out, the lines that come are the file's replies.
    if (!state.running || sender.IsSending())
        return;
    if (earlierLines.size() >= kEarlierLineLimit)
        earlierLines.pop_front();
    // A pattern is never longer, so the end of the line is all a wait compares.
    earlierLines.emplace_back(line.substr(line.size() - std::min(line.size(), kPatternLimit)));
}

void ButtonScriptInterpreter::CheckWaitTime() {
    if (state.waitTimed && !state.waitTimedOut && timer.ElapsedOver(state.waitStart, state.waitLength))
        state.waitTimedOut = true;
}

void ButtonScriptInterpreter::Step() {
    // A cancel ends a wait as if it had matched; the script itself goes on.
    if (state.waitPending && state.cancelRequested) {
        state.cancelRequested = false;
        state.waitMatched = true;
    }
    if (state.waitPending && state.waitMatched) {
        if (state.waitTimed)
            ++state.lineIndex; // a timed wait that matched skips the line after it
        state.ClearWait();
    } else if (state.waitTimed && state.waitTimedOut) {
        state.ClearWait();
    }
    if (sender.IsSending() || state.waitPending || !state.running)
        return;
    // A file of the script's own that could not be read whole ends the script, as one that does
    // not open: the lines after it count on the whole file having gone out.
    if (std::exchange(fileSent, false) && sender.ReadFailed()) {
        End();
        return;
    }
    if (state.cancelRequested) {
        state.cancelRequested = false;
        state.delayActive = false;
        host.ClearDelayReport();
        End();
        return;
    }
    if (state.delayActive) {
        if (timer.ElapsedOver(state.delayStart, state.delayLength)) {
            state.delayActive = false;
            host.ClearDelayReport();
        } else if (host.ShowScriptDetails() && timer.ElapsedOver(state.lastDetailUpdate, kDetailUpdateMs)) {
            state.lastDetailUpdate = timer.Now();
            host.ShowDelayReport(state.delayLength, TickTimer::Difference(state.delayStart, timer.Now()));
        }
        return;
    }
    if (state.lineIndex < 0 || static_cast<std::size_t>(state.lineIndex) >= lines.size()) {
        End();
        return;
    }
    if (!timer.ElapsedOver(state.lastLineTime, kLineSpacingMs))
        return;
    const std::string line = lines[static_cast<std::size_t>(state.lineIndex)];
    // The port takes bytes faster than the line carries them: a new rate waits until those
    // already written have left, or their rest would arrive garbled at the new rate.
    if ((line.starts_with("~b") || line.starts_with("~SetHnBlBaud")) && host.TransmitPending())
        return;
    state.lastLineTime = timer.Now();
    state.ClearWait();
    if (host.ShowScriptDetails())
        host.ShowLineReport(QString::fromStdString(line));
    if (!RunLine(line))
        ++state.lineIndex;
}

bool ButtonScriptInterpreter::RunLine(const std::string &line) {
    if (!line.starts_with('~')) {
        // The copy loses a closing "~"; the script keeps it, so it runs the same way next time.
        std::string text = line;
        SendLine(text);
        return false;
    }
    return RunCommand(std::string_view(line).substr(1), line);
}

bool ButtonScriptInterpreter::RunCommand(std::string_view command, const std::string &line) {
    // Tested in this order; the first that fits runs.
    if (command.starts_with('d')) {
        const std::uint32_t ms = ReadNumber(command.substr(1));
        if (ms != 0) {
            state.delayActive = true;
            state.delayStart = state.lastDetailUpdate = timer.Now();
            state.delayLength = ms;
            if (host.ShowScriptDetails())
                host.ShowDelayReport(ms, 0);
        }
    } else if (command.starts_with("waitfortime ") && command.size() >= 13) {
        std::string_view rest = SkipSpaces(command.substr(12));
        const std::uint32_t ms = ReadNumber(rest);
        StartWait(SkipSpaces(SkipToSpace(rest)), true, ms);
    } else if (command.starts_with("waitfor ") && command.size() >= 9) {
        StartWait(command.substr(8), false, 0);
    } else if (command.starts_with("GetHnBlVer")) {
        state.awaitingVersion = true;
        state.bootLoaderVersion13 = false;
        std::string query = "$PQVZQ,DID";
        SendLine(query);
    } else if (command.starts_with("SetHnBlBaud")) {
        state.awaitingVersion = false;
        SetBaudRate(state.bootLoaderVersion13 ? 115200 : 38400);
    } else if (command.starts_with("sendHexFile")) {
        platform::FileDialogRequest odSelectHexFile;
        odSelectHexFile.filter = "Binary Files|*.a90;*.hex";
        const QString chosen = platform::ShowFileDialog(odSelectHexFile);
        if (!chosen.isEmpty())
            SendFile(MakeStartDirPath(QFile::encodeName(chosen).toStdString(), host.ScriptStartDirectory()));
    } else if (command.starts_with("msg")) {
        host.ShowMessageReport(FromBytes(std::string_view(line).substr(4)));
    } else if (command.starts_with("nl")) {
        std::string empty;
        SendLine(empty);
    } else if (command.starts_with(' ')) {
        // A comment.
    } else if (command.starts_with('b')) {
        SetBaudRate(static_cast<std::int32_t>(ReadNumber(command.substr(1))));
    } else if (command.starts_with('f')) {
        SendFile(MakeStartDirPath(SkipSpaces(command.substr(1)), host.ScriptStartDirectory()));
    } else if (command.starts_with('t')) {
        const std::string path = MakeStartDirPath(SkipSpaces(command.substr(1)), host.ScriptStartDirectory());
        if (sender.Open(path)) {
            sender.Close();
            state.lineIndex += 2;
            return true;
        }
        platform::ShowMessageBox({QString("Invalid Filename - %1").arg(QString::fromStdString(path)),
                                  "File Open Error", platform::MessageButtons::Ok,
                                  platform::MessageIcon::Error});
    } else if (command.starts_with('j')) {
        std::int64_t step = ReadSignedNumber(command.substr(1));
        if (step == 0)
            step = 1;
        state.lineIndex = static_cast<int>(
            std::clamp<std::int64_t>(state.lineIndex + step, 0, static_cast<std::int64_t>(lines.size())));
        return true;
    } else if (command.starts_with('m')) {
        // The text is shown as written, never used as a format: only its first "%f" changes.
        const std::string_view text = command.substr(1);
        const std::optional<std::string> withName = ExpandSendFileName(text, sender.FileName());
        const platform::MessageResult answer = platform::ShowMessageBox(
            {FromBytes(withName ? *withName : text), QCoreApplication::applicationName(),
             withName ? platform::MessageButtons::OkCancel : platform::MessageButtons::Ok,
             platform::MessageIcon::None});
        if (withName && answer == platform::MessageResult::Cancel)
            End();
    } else if (command.starts_with('e')) {
        state.lineIndex = static_cast<int>(lines.size());
        return true;
    } else if (command.starts_with("rtson")) {
        host.SetScriptRts(true);
    } else if (command.starts_with("rtsoff")) {
        host.SetScriptRts(false);
    }
    return false;
}

void ButtonScriptInterpreter::SendLine(std::string &text) {
    host.SendScriptLine(text);
    earlierLines.clear(); // what came before cannot answer this line
    sender.ForgetOwedReplies();
}

void ButtonScriptInterpreter::StartWait(std::string_view pattern, bool timed, std::uint32_t lengthMs) {
    state.ClearWait();
    state.waitPending = true;
    state.waitTimed = timed;
    state.waitStart = timer.Now();
    state.waitLength = lengthMs;
    // A wait matches the end of a line: of a longer text its end is kept, so a line ending in the
    // whole text still matches.
    state.waitPattern = std::string(pattern.substr(pattern.size() - std::min(pattern.size(), kPatternLimit)));
    // The lines kept answer this wait or none: a later wait waits for a line of its own.
    state.waitMatched =
        std::any_of(earlierLines.begin(), earlierLines.end(),
                    [&](const std::string &earlier) { return earlier.ends_with(state.waitPattern); });
    earlierLines.clear();
}

void ButtonScriptInterpreter::SetBaudRate(std::int32_t baud) {
    // A rate outside the port's table changes nothing.
    if (SerialPort::BaudIndex(baud) != 255)
        host.SetScriptBaudRate(baud);
}

void ButtonScriptInterpreter::SendFile(const std::string &path) {
    if (!sender.Open(path)) {
        FileSender::ReportOpenFailure(path);
        End();
        return;
    }
    // The end of the send counts as a line that went out: only later lines answer a wait.
    earlierLines.clear();
    fileSent = sender.Start();
}
