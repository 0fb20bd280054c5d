#pragma once
#include "FileSendState.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class TickTimer;

// Sends one file to the device through the open port, at most one block of 200 bytes (or one
// line) per call of Pump, which the 10 ms poll makes. Two rules keep a slow receiver from being
// flooded: an optional split into lines with a delay between them, and a response window in
// which at most four lines wait for the device's reply lines.
class FileSender {
public:
    static constexpr std::size_t kBlockSize = 200;
    static constexpr int kResponseWindow = 4;

    // What the pump needs of the window it runs in: the port, the pacing settings and the
    // send panel.
    class Host {
    public:
        virtual ~Host() = default;
        virtual bool IsPortOpen() const = 0;
        virtual std::int32_t WriteSendFileBytes(const std::uint8_t *bytes, std::int32_t count) = 0;
        virtual int SendFileLineDelayMs() const = 0;
        virtual bool SendFileResponseWindow() const = 0;
        virtual void SendFileStarted(const std::string &path, std::int64_t size) = 0;
        virtual void ShowSendFileProgress(int percent) = 0;
        virtual void SendFileEnded() = 0;
    };

    FileSender(FileSendState &state, Host &host, const TickTimer &timer);

    // A file sent to a device goes over a serial line: 16 MiB take nearly half an hour at
    // 115200 baud, far beyond any image or script file. A larger one is not sent.
    static constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;

    // Closes a file still open, then opens path and reads it whole: what a send puts out is the
    // file as it was when the send began, whatever is written over it meanwhile. The path becomes
    // the send-file name whether or not it opens. Only a regular file (or a link to one) opens.
    bool Open(const std::string &path);
    void Close();
    bool IsOpen() const { return opened; }
    // Starts sending the open file from its beginning; false when none is open. A file that
    // opened but could not be read whole is not sent: the box says so, and ReadFailed() tells.
    bool Start();
    // One step of a running send.
    void Pump();
    // Ends the send now: the file is closed and the host told.
    void Stop();

    bool IsSending() const { return state.active; }
    const std::string &FileName() const { return fileName; }
    std::int64_t Size() const { return size; }
    std::int64_t Sent() const { return sent; }
    // The box for a file that does not open: "Unable to open file - " and the path.
    static void ReportOpenFailure(const std::string &path);
    // Whether the last send ended because its file could not be read whole.
    bool ReadFailed() const { return readFailed; }
    // Replies still owed to the last send's lines belong to it only until something else asks
    // for replies (a script starts, ends or sends a line): a device that left lines unanswered
    // must not swallow the replies to what comes after.
    void ForgetOwedReplies() { state.owedReplies = 0; }
    // Progress in percent, 0 to 100 whatever the sizes: an empty file is at 0 until it ends,
    // and a file that grew while it was sent stops at 100.
    static int Percent(std::int64_t sent, std::int64_t size);

private:
    FileSendState &state;
    Host &host;
    const TickTimer &timer;
    bool opened = false;
    bool readWhole = false;
    std::string contents;
    std::size_t position = 0; // of the next byte of contents to go into the block
    std::string fileName;
    std::int64_t size = 0;
    std::int64_t sent = 0;
    bool readFailed = false;
    std::array<std::uint8_t, kBlockSize> block{};
    std::size_t pending = 0;
    int lineDelayMs = 0;
    std::uint32_t lineStart = 0;
    bool delayPending = false;
};
