// The firmware file: its "S0~" header records, the S-record lines that become program-data
// payloads, and the address range the erase request needs.
#include "SSEngine.h"

#include "KTR3LoaderIntf.h"
#include "SSEngineText.h"
#include "WholeFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

// Reads exactly `digits` hexadecimal digits; anything shorter or not hexadecimal fails.
bool Hex(const char *text, int digits, std::uint32_t &value) {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        const char c = text[i];
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        value = (value << 4) |
                static_cast<std::uint32_t>(std::isdigit(static_cast<unsigned char>(c))
                                               ? c - '0'
                                               : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    return true;
}

// One line as programming reads it. Lines that are not S1, S2, S3, S7 or S9 records are passed
// over (type 0).
struct SRecordLine {
    char type = 0;
    // Data lines: count and address read, and the count covers the address. S9: a count of 2 to 5.
    bool headerOk = false;
    // Every pair the count announces is there; for data lines they sum to 0xFF with the count.
    bool bytesOk = false;
    int addressBytes = 0;
    std::uint32_t count = 0;
    std::uint32_t address = 0;
    // Data lines: the count, the address, the data and the checksum.
    std::uint8_t bytes[256] = {};

    bool Good() const { return type == 0 || type == '7' || (headerOk && bytesOk); }
    int DataBytes() const { return static_cast<int>(count) - addressBytes - 1; }
};

SRecordLine ReadSRecordLine(const char *line) {
    SRecordLine r;
    if (line[0] != 'S')
        return r;
    switch (line[1]) {
    case '1':
    case '2':
    case '3':
        break;
    case '7':
        r.type = '7';
        return r;
    case '9': {
        r.type = '9';
        // The entry address has as many bytes as the count leaves after the checksum.
        if (!Hex(line + 2, 2, r.count) || r.count < 2 || r.count > 5)
            return r;
        r.headerOk = true;
        r.addressBytes = static_cast<int>(r.count) - 1;
        for (std::uint32_t i = 0; i < r.count; ++i) {
            std::uint32_t pair = 0;
            if (!Hex(line + 4 + 2 * i, 2, pair))
                return r;
        }
        r.bytesOk = Hex(line + 4, 2 * r.addressBytes, r.address);
        return r;
    }
    default:
        return r;
    }
    r.type = line[1];
    r.addressBytes = line[1] - '0' + 1;
    if (!Hex(line + 2, 2, r.count) || !Hex(line + 4, 2 * r.addressBytes, r.address) ||
        static_cast<int>(r.count) < r.addressBytes + 1)
        return r;
    r.headerOk = true;
    unsigned sum = 0;
    for (std::uint32_t i = 0; i <= r.count; ++i) {
        std::uint32_t pair = 0;
        if (!Hex(line + 2 + 2 * i, 2, pair))
            return r;
        r.bytes[i] = static_cast<std::uint8_t>(pair);
        sum += pair;
    }
    r.bytesOk = (sum & 0xFF) == 0xFF;
    return r;
}

// A header value as "%<width>s" reads it: leading blanks skipped, up to the next blank.
bool ScanWord(const char *text, std::size_t width, std::string &word) {
    while (*text && std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    std::size_t n = 0;
    while (text[n] && !std::isspace(static_cast<unsigned char>(text[n])) && n < width)
        ++n;
    if (n == 0)
        return false;
    word.assign(text, n);
    return true;
}

// A decimal number as "%d" finds it; false when there is none. One too large for an int is read
// as -1, so that no range takes it. `number` is the number as written.
bool ScanInt(const char *text, int &value, std::string &number) {
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text)
        return false;
    number.assign(text, static_cast<const char *>(end));
    value = errno == ERANGE || v < INT_MIN || v > INT_MAX ? -1 : static_cast<int>(v);
    return true;
}

bool EqualsIgnoringCase(const std::string &a, const char *b) {
    return strcasecmp(a.c_str(), b) == 0;
}

std::string Trimmed(const std::string &text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

} // namespace

using ssengine::Format;

bool SSEngine::IsHeaderLine(const char *line) {
    return std::strncmp(line, "S0~", 3) == 0 && line[3] != '\0';
}

std::string SSEngine::HeaderOf(const std::string &text) {
    std::array<char, LineBufferSize> line{};
    bool tooLong = false;
    std::size_t position = 0;
    std::size_t end = 0;
    while (ReadLine(text, position, line, tooLong) && IsHeaderLine(line.data()))
        end = position;
    return text.substr(0, end);
}

bool SSEngine::ReadLine(const std::string &text, std::size_t &position,
                        std::array<char, LineBufferSize> &buffer, bool &tooLong) {
    tooLong = false;
    buffer[0] = '\0';
    if (position >= text.size())
        return false;
    const std::size_t end = std::min(text.find('\n', position), text.size());
    const std::size_t length = end - position;
    std::size_t n = std::min(length, buffer.size() - 1);
    tooLong = length > n;
    std::copy_n(text.data() + position, n, buffer.data());
    position = std::min(end + 1, text.size());
    // Files written on either system read the same: a CR before the LF is not part of the line.
    if (n > 0 && buffer[n - 1] == '\r')
        --n;
    buffer[n] = '\0';
    return true;
}

void SSEngine::ForgetFileProperties() {
    loader.SetFilePlatform("");
    loader.SetDestinationPlatform("");
    FileSWVersion = "DEV-LOAD";
    FileApplicationType = "APP";
    ValidSWPlatforms.clear();
    CheckedFileName.clear();
    CheckedHeader.clear();
}

int SSEngine::ReadFileProperties() {
    LogDebug("ReadFileProperties() #1:");
    LogDebug(loader.fileName);
    const char *name = loader.fileName.c_str();
    // The one read the header is checked from, of the file's start only; a pipe or a device is
    // never opened, and nothing near the bound is a firmware file.
    std::string text;
    const platform::ReadOutcome read =
        platform::ReadFileStart(loader.fileName, text, kMaxFirmwareFileBytes, kHeaderReadBytes);
    if (read != platform::ReadOutcome::Read) {
        // Nothing of the file accepted before stays with a file that was refused.
        ForgetFileProperties();
        if (read == platform::ReadOutcome::NotRegular)
            Log(Format("Unable to open file %s - not a regular file", name));
        else if (read == platform::ReadOutcome::TooLarge)
            Log(Format("Unable to open file %s - larger than %zu MB", name, kMaxFirmwareFileBytes >> 20));
        else if (read == platform::ReadOutcome::ReadFailed)
            Log(Format("Cannot read file %s", name)); // a read error is not the end of the header
        else
            Log("Unable to open file");
        return 0;
    }
    LogDebug("ReadFileProperties() #2:  ");
    ForgetFileProperties();
    LogDebug("ReadFileProperties() #3:  ");

    const std::string &path = loader.fileName;
    SignedHexFile = path.size() >= 5 && strcasecmp(path.c_str() + path.size() - 5, ".shex") == 0;

    bool header = false;
    std::array<char, LineBufferSize> line{};
    bool tooLong = false;
    std::size_t position = 0;
    while (ReadLine(text, position, line, tooLong) && IsHeaderLine(line.data())) {
        const char letter = line[3];
        // The value follows "S0~" letter "~"; without that second '~' it does not scan.
        const char *value = line[4] == '~' ? line.data() + 5 : "";
        std::string word;
        switch (letter) {
        case 'D':
            if (!ScanWord(value, 128, word)) {
                Log("Unknown Destination Software Platform.");
                break;
            }
            loader.SetDestinationPlatform(word.c_str());
            ValidSWPlatforms.push_back(word);
            header = true;
            break;
        case 'A':
            break;
        case 'I': {
            int id = 0;
            std::string number;
            if (!ScanInt(value, id, number))
                break;
            // The ID names a card behind the link; one the link cannot have must not send the
            // run to another card.
            if (!ValidDevice(id)) {
                Log(Format("First Stage Device ID %s is out of range (0 to %d) - Unable to proceed",
                           number.c_str(), ::DeviceDetails::Count - 1));
                ForgetFileProperties();
                return 0;
            }
            Log(Format("Setting First Stage Device ID to %d", id));
            loader.SetFirstStageDeviceID(id);
            break;
        }
        case 'P': {
            if (!ScanWord(value, 128, word)) {
                Log("Unknown Intended Platform.");
                break;
            }
            ValidSWPlatforms.clear();
            std::size_t start = 0;
            for (std::size_t comma; (comma = word.find(',', start)) != std::string::npos; start = comma + 1)
                ValidSWPlatforms.push_back(word.substr(start, comma - start));
            ValidSWPlatforms.push_back(Trimmed(word.substr(start)));
            loader.SetIntendedPlatform(ValidSWPlatforms.front().c_str());
            loader.SetFilePlatform(ValidSWPlatforms.front().c_str());
            header = true;
            break;
        }
        case 'T':
            if (!ScanWord(value, 128, word)) {
                Log("Unknown Application Type.");
                break;
            }
            FileApplicationType = word;
            if (EqualsIgnoringCase(word, "APP") || EqualsIgnoringCase(word, "NVM") ||
                strncasecmp(word.c_str(), "DATA", 4) == 0 || EqualsIgnoringCase(word, "BOOT") ||
                EqualsIgnoringCase(word, "BOOTDB")) {
                DeviceID = 0;
            } else if (EqualsIgnoringCase(word, "PIC")) {
                DeviceID = 3;
                Log("Found PIC Software File.");
            } else if (EqualsIgnoringCase(word, "FPGA")) {
                DeviceID = 1;
                Log("Found FPGA Software File.");
            } else {
                Log("Unknown Application Type.");
            }
            break;
        case 'V':
            if (!ScanWord(value, 64, word)) {
                Log("Unknown Software Version.");
                break;
            }
            FileSWVersion = word;
            break;
        default:
            Log(Format("Unsupported property (%c).", letter));
            break;
        }
    }
    if (header) {
        CheckedFileName = loader.fileName;
        CheckedHeader = HeaderOf(text);
        return 1;
    }
    Log("Invalid Hex File - Unable to proceed");
    return 0;
}

void SSEngine::OpenFile() {
    LogDebug("OpenFile() ");
    LogDebug(loader.fileName);
    // Only the newest file is read.
    FirmwareImage.reset();
    FirmwarePosition = 0;
    ParseStatus = 0;
    BadFileLine = 0;
    // The file is read once, whole: the bytes programmed are the bytes the scan checked, and a
    // read error is never taken for the end of the file. Firmware files are a few MB at most.
    std::string text;
    switch (platform::ReadWholeFile(loader.fileName, text, kMaxFirmwareFileBytes)) {
    case platform::ReadOutcome::Read:
        FirmwareImage = std::move(text);
        break;
    case platform::ReadOutcome::OpenFailed:
    case platform::ReadOutcome::NotRegular:
    case platform::ReadOutcome::TooLarge:
        Log("opening file failed!");
        break;
    case platform::ReadOutcome::ReadFailed:
        break; // the scan before the erase names the file
    }
}

void SSEngine::CloseFile() {
    LogDebug("closing file");
    FirmwareImage.reset();
    FirmwarePosition = 0;
}

int SSEngine::GetFileBlocks() {
    return FirmwareImage ? static_cast<int>(FirmwareImage->size() / 4096) : 0;
}

int SSEngine::GetFilePositionBlocks() {
    return FirmwareImage ? static_cast<int>(FirmwarePosition / 4096) : 0;
}

int SSEngine::ScanAddressRange(std::uint32_t &lowest, std::uint32_t &highest) {
    lowest = 0;
    highest = 0;
    if (!FirmwareImage)
        return FileUnreadable;
    std::uint32_t low = 0xFFFFFFFFu;
    std::uint32_t high = 0;
    bool any = false;
    bool data = false;
    int lineNumber = 0;
    int firstBad = 0;
    std::array<char, LineBufferSize> line{};
    bool tooLong = false;
    std::size_t position = 0;
    while (ReadLine(*FirmwareImage, position, line, tooLong)) {
        ++lineNumber;
        // The lines programming would refuse, found before anything is erased.
        const SRecordLine record = ReadSRecordLine(line.data());
        if (firstBad == 0 && (tooLong || !record.Good()))
            firstBad = lineNumber;
        data = data || record.type == '1' || record.type == '2' || record.type == '3';
        // A line longer than the buffer still names its address and count in the part read.
        if (record.type != '3' || !record.headerOk)
            continue;
        any = true;
        low = std::min(low, record.address);
        high = std::max(high, record.address + (record.count - 5));
    }
    // A file without S3 lines has no range, and so no application offset either.
    lowest = any ? low : 0;
    highest = any ? high : 0;
    // A file with nothing to program would still have the card erased.
    return firstBad != 0 ? firstBad : data ? 0 : FileWithoutData;
}

std::uint32_t SSEngine::ApplicationOffset() const {
    return LowAddress;
}

bool SSEngine::AddressIsAdjusted() const {
    static const char *const neverAdjusted[] = {"P8TB",   "KTR933",  "KTR933W", "KTR933P",
                                                "KTR953", "KTR953T", "GARVO9"};
    const std::string platform = CardPlatform();
    for (const char *name : neverAdjusted)
        if (platform == name)
            return false;
    return !(loader.IgnoreAppOffset && FileApplicationType == "APP");
}

int SSEngine::ParseSRecord(const char *line) {
    return ParseDataLine(line, false);
}

int SSEngine::ParseSRecordZqx(const char *line) {
    return ParseDataLine(line, true);
}

int SSEngine::ParseDataLine(const char *line, bool zqx) {
    auto writeDataLength = [&] {
        if (NewPayload || PayloadLength < PayloadHeaderSize)
            return;
        const int length = PayloadLength - PayloadHeaderSize;
        const int at = zqx ? 6 : 8;
        TxPayload[at] = static_cast<std::uint8_t>(length >> 8);
        TxPayload[at + 1] = static_cast<std::uint8_t>(length);
    };

    const SRecordLine record = ReadSRecordLine(line);
    switch (record.type) {
    case 0:
        return 1;
    case '7':
        writeDataLength();
        return 1;
    case '9':
        if (!record.Good())
            return 0;
        EntryAddress = record.address;
        writeDataLength();
        return 1;
    default:
        break;
    }

    if (!record.headerOk)
        return 0;
    std::uint32_t address = record.address;
    const int dataBytes = record.DataBytes();
    if (!zqx && AddressIsAdjusted())
        address -= ApplicationOffset();

    if (!NewPayload && address != ExpectedAddress) {
        writeDataLength();
        return 2;
    }
    if (!record.bytesOk)
        return 0;

    if (NewPayload) {
        PayloadHeaderSize = zqx ? 8 : 10;
        std::fill_n(TxPayload.begin(), PayloadHeaderSize, std::uint8_t{0});
        int at;
        if (zqx) {
            TxPayload[0] = 21;
            at = 2;
        } else {
            TxPayload[0] = 30;
            TxPayload[2] = loader.BootCodeLoad ? 1 : loader.ResetNVM ? 3 : loader.ResetData ? 5 : 4;
            TxPayload[3] = loader.DataBlock;
            at = 4;
        }
        for (int i = 0; i < 4; ++i)
            TxPayload[at + i] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
        PayloadLength = PayloadHeaderSize;
        ExpectedAddress = address + static_cast<std::uint32_t>(dataBytes);
        NewPayload = false;
    } else {
        ExpectedAddress += static_cast<std::uint32_t>(dataBytes);
    }
    if (PayloadLength + dataBytes > TxPayloadSize)
        return 0;
    std::copy_n(record.bytes + 1 + record.addressBytes, dataBytes, TxPayload.begin() + PayloadLength);
    PayloadLength += dataBytes;
    writeDataLength();
    return PayloadLength >= ProgramPayloadLimit ? 3 : 1;
}

bool SSEngine::IsSWPlatformValid(const char *platform) {
    if (platform == nullptr || *platform == '\0')
        return true;
    if (loader.GetDebug() == 255) {
        loader.LogMessage("Current Valid SW Platforms:");
        for (const std::string &entry : ValidSWPlatforms)
            loader.LogMessage(entry);
    }
    for (const std::string &entry : ValidSWPlatforms)
        if (entry == platform)
            return true;
    return false;
}
