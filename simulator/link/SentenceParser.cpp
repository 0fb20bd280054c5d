#include "SentenceParser.h"

#include "SerialPort.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr std::uint8_t kEndMark = 0xFF;

bool IsLineEnd(std::uint8_t b) {
    return b == '\r' || b == '\n' || b == 0;
}

int HexValue(std::uint8_t b) {
    if (b >= '0' && b <= '9')
        return b - '0';
    if (b >= 'A' && b <= 'F')
        return b - 'A' + 10;
    if (b >= 'a' && b <= 'f')
        return b - 'a' + 10;
    return -1;
}

// Optional "-", then decimal digits, accumulated in the result's width with wrap-around
// (done unsigned, since signed overflow is undefined).
template <typename Signed, typename Unsigned> Signed DecimalOf(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    Unsigned value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = static_cast<Unsigned>(value * 10u + static_cast<Unsigned>(text[i] - '0'));
    if (negative)
        value = static_cast<Unsigned>(0u - value);
    return static_cast<Signed>(value);
}

} // namespace

SentenceParser::SentenceParser() {
    ResetSentence();
    ResetRawLine();
    badLineCount = 0;
    // The end mark sits at 598 at most; a NUL behind it stops any text read of a cut field.
    fieldBuffer[kBufferSize - 1] = 0;
}

void SentenceParser::ResetSentence() {
    state = Idle;
    fieldCount = 0;
    badFlag = false;
    runningChecksum = 0;
    receivedChecksum = 0;
    field1Offset = 0;
    field2Offset = 0;
    lookedUpIndex = 0;
    lookedUpOffset = 0;
    fieldLength = 0;
    fieldBuffer[0] = kEndMark;
}

void SentenceParser::ResetRawLine() {
    rawLength = 0;
    rawBuffer[0] = '\0';
}

void SentenceParser::EndField() {
    ++fieldCount;
    if (fieldLength < kFieldTextLimit)
        fieldBuffer[fieldLength++] = 0;
    if (fieldCount == 1)
        field1Offset = fieldLength;
    else if (fieldCount == 2)
        field2Offset = fieldLength;
}

void SentenceParser::CompleteSentence() {
    fieldBuffer[fieldLength] = kEndMark; // fieldLength is at most 598, so this fits
    state = SentenceComplete;
    badLineCount = 0;
}

std::uint8_t SentenceParser::FeedByte(std::uint8_t b) {
    const bool shownAsIs = (b >= 0x20 && b <= 0x7E) || b == 0xB0;
    const char shown = shownAsIs ? static_cast<char>(b) : '.';
    if (!shownAsIs && b != '\r' && b != '\n')
        badFlag = true;

    if (state == SentenceComplete || state == RawLineComplete) {
        ResetSentence();
        ResetRawLine();
    }
    switch (state) {
    case Idle:
        if (b == '$') {
            ResetSentence();
            state = Body;
        }
        break;
    case Body:
        if (b == ',' || b == '*' || IsLineEnd(b)) {
            EndField();
            if (b == ',') {
                runningChecksum ^= b;
            } else if (b == '*') {
                receivedChecksum = 0;
                state = Checksum;
            } else {
                CompleteSentence();
            }
        } else if (fieldLength < kFieldTextLimit) {
            fieldBuffer[fieldLength++] = b;
            runningChecksum ^= b;
        }
        break;
    case Checksum:
        if (IsLineEnd(b)) {
            if (receivedChecksum == runningChecksum)
                CompleteSentence();
            else
                ResetSentence();
        } else if (const int v = HexValue(b); v >= 0) {
            receivedChecksum = static_cast<std::uint8_t>((receivedChecksum << 4) | v);
        } else {
            ResetSentence();
        }
        break;
    default:
        break;
    }
    if (state == SentenceComplete)
        return state;
    if (!IsLineEnd(b)) {
        if (rawLength < kRawLimit) {
            rawBuffer[rawLength++] = shown;
            rawBuffer[rawLength] = '\0';
        }
    } else if (rawLength > 0) {
        state = RawLineComplete;
        if (badFlag) {
            if (badLineCount < std::numeric_limits<std::uint32_t>::max())
                ++badLineCount;
        } else {
            badLineCount = 0;
        }
    } else {
        ResetSentence();
        ResetRawLine();
    }
    return state;
}

int SentenceParser::GetFieldCount() const {
    return state == SentenceComplete ? fieldCount : 0;
}

const char *SentenceParser::GetField(int n) {
    if (state != SentenceComplete || n < 0 || n >= fieldCount)
        return nullptr;
    std::uint16_t offset = 0;
    if (n == 1) {
        offset = field1Offset;
    } else if (n == 2) {
        offset = field2Offset;
    } else if (n >= 3) {
        if (lookedUpIndex == n) {
            offset = lookedUpOffset;
        } else {
            // Step over NUL-terminated fields from field 2; fields past the buffer limit were
            // counted but not stored, and read as empty.
            offset = field2Offset;
            for (int i = 2; i < n && offset < fieldLength; ++i) {
                while (offset < fieldLength && fieldBuffer[offset] != 0)
                    ++offset;
                if (offset < fieldLength)
                    ++offset;
            }
            lookedUpIndex = static_cast<std::uint16_t>(n);
            lookedUpOffset = offset;
        }
    }
    if (offset >= fieldLength)
        return ""; // not stored: reads as empty
    return reinterpret_cast<const char *>(fieldBuffer.data() + offset);
}

std::string_view SentenceParser::FieldView(int n) {
    const char *field = GetField(n);
    if (field == nullptr)
        return {};
    const auto *begin = reinterpret_cast<const std::uint8_t *>(field);
    const auto *end = fieldBuffer.data() + fieldLength;
    if (begin >= end)
        return {};
    const auto *nul = std::find(begin, end, std::uint8_t{0});
    return {field, static_cast<std::size_t>(nul - begin)};
}

std::size_t SentenceParser::CopyField(char *destination, std::size_t destinationSize, int n) {
    const std::string_view field = FieldView(n);
    if (destination != nullptr && destinationSize > 0) {
        const std::size_t count = std::min(field.size(), destinationSize - 1);
        std::copy_n(field.begin(), count, destination);
        destination[count] = '\0';
    }
    return field.size();
}

std::int16_t SentenceParser::GetFieldInt16(int n) {
    return DecimalOf<std::int16_t, std::uint16_t>(FieldView(n));
}

std::int32_t SentenceParser::GetFieldInt32(int n) {
    return DecimalOf<std::int32_t, std::uint32_t>(FieldView(n));
}

std::uint8_t SentenceParser::GetText(std::string *destination) const {
    if (destination == nullptr)
        return state;
    if (state == SentenceComplete) {
        destination->assign("$");
        for (std::uint16_t i = 0; i < fieldLength; ++i) {
            const std::uint8_t b = fieldBuffer[i];
            if (b != 0)
                destination->push_back(static_cast<char>(b));
            else if (i + 1 < fieldLength)
                destination->push_back(',');
        }
    } else if (state == RawLineComplete) {
        destination->assign(rawBuffer.data(), rawLength);
    }
    return state;
}

std::string SentenceParser::GetText() const {
    std::string text;
    GetText(&text);
    return text;
}

std::uint8_t SentenceParser::ParseString(const char *text) {
    ResetSentence();
    ResetRawLine();
    if (text == nullptr)
        return FeedByte(0);
    for (const char *p = text;; ++p) {
        const std::uint8_t s = FeedByte(static_cast<std::uint8_t>(*p));
        if (s == SentenceComplete || s == RawLineComplete || *p == '\0')
            return s;
    }
}

namespace {

// The printable bytes of text up to the first other one, optionally with CR LF, written as one
// block: a line that stops draining then holds the sentence up once, not once for every byte,
// and once a write timed out nothing more of the sentence goes out.
std::string WriteSentence(SerialPort &port, const char *text, bool lineEnd) {
    if (text == nullptr)
        return {};
    std::string bytes;
    for (const char *p = text;
         static_cast<unsigned char>(*p) >= 0x20 && static_cast<unsigned char>(*p) < 0x80; ++p)
        bytes += *p;
    const std::size_t sent = bytes.size();
    if (lineEnd)
        bytes += "\r\n";
    port.WritePort(reinterpret_cast<const std::uint8_t *>(bytes.data()),
                   static_cast<std::int32_t>(bytes.size()));
    bytes.resize(sent);
    return bytes;
}

} // namespace

std::string SentenceParser::Send(SerialPort &port, const char *text) {
    return WriteSentence(port, text, false);
}

std::string SentenceParser::SendLine(SerialPort &port, const char *text) {
    return WriteSentence(port, text, true);
}
