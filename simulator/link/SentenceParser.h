#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class SerialPort;

// Turns the received byte stream into sentences ("$NAME,field,...*CS") and, for whatever is
// not a valid sentence, into plain text lines. Constant work per byte; both buffers are inside
// the object and bounded, so noise on the line never grows memory.
class SentenceParser {
public:
    enum State : std::uint8_t { Idle = 0, Body = 1, Checksum = 2, SentenceComplete = 3, RawLineComplete = 4 };

    static constexpr std::size_t kBufferSize = 600;
    static constexpr std::size_t kFieldTextLimit = 598; // field text and separators
    static constexpr std::size_t kRawLimit = 599;       // shown characters of a raw line

    SentenceParser();

    std::uint8_t FeedByte(std::uint8_t byte);
    std::uint8_t ParseString(const char *text);
    void ResetSentence();
    void ResetRawLine();

    std::uint8_t GetState() const { return state; }
    std::uint32_t GetBadLineCount() const { return badLineCount; }
    // Number of fields of a complete sentence (the name is field 0), else 0.
    int GetFieldCount() const;
    // Field n's text, or nullptr when there is no complete sentence or no such field.
    const char *GetField(int n);
    // Field n as a view; empty when missing, so callers never read past a field.
    std::string_view FieldView(int n);
    std::size_t CopyField(char *destination, std::size_t destinationSize, int n);
    std::size_t GetFieldLength(int n) { return FieldView(n).size(); }
    std::int16_t GetFieldInt16(int n);
    std::int32_t GetFieldInt32(int n);
    // "$" and the fields joined by "," for a sentence, the shown text for a raw line.
    std::uint8_t GetText(std::string *destination) const;
    std::string GetText() const;

    // Write the printable bytes of text (0x20..0x7F) up to the first other one (SendLine adds
    // CR LF) in one write, so a stuck line holds a sentence up at most once.
    // Each returns the text that went out, without the line end.
    static std::string Send(SerialPort &port, const char *text);
    static std::string SendLine(SerialPort &port, const char *text);

private:
    void EndField();
    void CompleteSentence();

    std::uint8_t state = Idle;
    std::uint16_t fieldCount = 0; // a 600-byte line can hold far more than 255 fields
    bool badFlag = false;
    std::uint8_t runningChecksum = 0;
    std::uint8_t receivedChecksum = 0;
    std::uint16_t field1Offset = 0;
    std::uint16_t field2Offset = 0;
    std::uint16_t lookedUpIndex = 0;
    std::uint16_t lookedUpOffset = 0;
    std::uint16_t fieldLength = 0;
    std::array<std::uint8_t, kBufferSize> fieldBuffer{};
    std::uint16_t rawLength = 0;
    std::array<char, kBufferSize> rawBuffer{};
    std::uint32_t badLineCount = 0;
};
