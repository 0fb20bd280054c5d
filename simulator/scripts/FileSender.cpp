#include "FileSender.h"

#include "TickTimer.h"

#include "Dialogs.h"
#include "WholeFile.h"

#include <algorithm>

namespace {

void ReportReadFailure(const std::string &path) {
    platform::ShowMessageBox(
        {QString("Cannot read file %1 - it was not sent whole").arg(QString::fromStdString(path)),
         "File Read Error", platform::MessageButtons::Ok, platform::MessageIcon::Error});
}

} // namespace

FileSender::FileSender(FileSendState &sendState, Host &sendHost, const TickTimer &tickTimer)
    : state(sendState), host(sendHost), timer(tickTimer) {}

bool FileSender::Open(const std::string &path) {
    Close();
    fileName = path;
    // A folder has nothing to send, and opening a pipe or a device could hold the program until
    // something writes to it: those do not open. A file that is there but cannot be read whole
    // opens, and its send fails as one whose reads fail.
    const platform::ReadOutcome outcome = platform::ReadWholeFile(path, contents, kMaxFileBytes);
    opened = outcome != platform::ReadOutcome::OpenFailed && outcome != platform::ReadOutcome::NotRegular;
    readWhole = outcome == platform::ReadOutcome::Read;
    return opened;
}

void FileSender::ReportOpenFailure(const std::string &path) {
    platform::ShowMessageBox({QString("Unable to open file - %1").arg(QString::fromStdString(path)),
                              "File Open Error", platform::MessageButtons::Ok, platform::MessageIcon::Error});
}

void FileSender::Close() {
    opened = false;
    readWhole = false;
    contents.clear();
    contents.shrink_to_fit();
    position = 0;
}

bool FileSender::Start() {
    if (!opened)
        return false;
    readFailed = !readWhole;
    if (readFailed) {
        Close();
        ReportReadFailure(fileName);
        return true;
    }
    size = static_cast<std::int64_t>(contents.size());
    position = 0;
    sent = 0;
    pending = 0;
    // A delay below 0 means none: it would otherwise hold every line for good.
    lineDelayMs = std::max(0, host.SendFileLineDelayMs());
    lineStart = timer.Now();
    delayPending = true; // with a line delay, the first line waits for it too
    state.active = true;
    state.responseWindow = host.SendFileResponseWindow();
    state.outstandingLines = 0;
    state.owedReplies = 0;
    host.SendFileStarted(fileName, size);
    host.ShowSendFileProgress(0);
    return true;
}

int FileSender::Percent(std::int64_t sentBytes, std::int64_t sizeBytes) {
    if (sizeBytes <= 0 || sentBytes <= 0)
        return 0;
    if (sentBytes >= sizeBytes)
        return 100;
    // Below the size, sent x 100 stays far inside 64 bits for any file a disk holds.
    return static_cast<int>(sentBytes * 100 / sizeBytes);
}

void FileSender::Pump() {
    if (!state.active)
        return;
    if (!host.IsPortOpen()) {
        Stop();
        return;
    }
    if (pending > 0) {
        const bool windowFull = state.responseWindow && state.outstandingLines >= kResponseWindow;
        // In response-window mode the delay only splits the block into lines; it is never waited for.
        const bool delaying = !state.responseWindow && lineDelayMs > 0 && delayPending &&
                              !timer.ElapsedOver(lineStart, static_cast<std::uint32_t>(lineDelayMs));
        if (windowFull || delaying)
            return;
        delayPending = false;
        const auto begin = block.begin();
        const auto end = begin + static_cast<std::ptrdiff_t>(pending);
        // A line delay lets one line go at a time; the response window no more lines than it has
        // room for, which a block of 200 bytes may well exceed.
        int room = lineDelayMs > 0 ? 1 : static_cast<int>(kBlockSize);
        if (state.responseWindow)
            room = std::min(room, kResponseWindow - state.outstandingLines);
        auto cut = begin;
        int lines = 0;
        while (lines < room) {
            const auto lineEnd = std::find(cut, end, '\n');
            if (lineEnd == end)
                break;
            cut = lineEnd + 1;
            ++lines;
        }
        auto count = static_cast<std::int32_t>(pending);
        if (lines == room) {
            count = static_cast<std::int32_t>(cut - begin);
            if (lineDelayMs > 0) {
                lineStart = timer.Now();
                delayPending = true;
            }
        }
        const std::int32_t written = std::clamp(host.WriteSendFileBytes(block.data(), count), 0, count);
        if (state.responseWindow)
            state.outstandingLines += static_cast<int>(std::count(begin, begin + written, '\n'));
        sent += written;
        host.ShowSendFileProgress(Percent(sent, size));
        // What did not go out moves to the front and waits for the next poll.
        std::copy(begin + written, end, begin);
        pending -= static_cast<std::size_t>(written);
        return;
    }
    pending = std::min(block.size(), contents.size() - position);
    std::copy_n(contents.begin() + static_cast<std::ptrdiff_t>(position), pending, block.begin());
    position += pending;
    if (pending > 0)
        return;
    host.ShowSendFileProgress(100);
    Stop();
}

void FileSender::Stop() {
    state.active = false;
    // Only a send that went out whole is still answered; a stopped one may have stalled on a
    // device that answers nothing, and a closed port takes the replies with it.
    const bool wholeFileOut = pending == 0 && opened && position == contents.size();
    state.owedReplies = wholeFileOut && host.IsPortOpen() ? state.outstandingLines : 0;
    state.outstandingLines = 0;
    pending = 0;
    Close();
    host.SendFileEnded();
}
