#include "GraphDataFile.h"

#include "FieldDecoders.h"
#include "SampleRing.h"

#include "Numbers.h"

#include <QIODevice>
#include <cctype>
#include <cstring>
#include <limits>
#include <optional>
#include <type_traits>

namespace GraphDataFile {
namespace {

using GS = GraphSample;
// False when a number does not fit its field.
using Reader = bool (*)(GraphSample &, std::string_view);
using Writer = void (*)(const GraphSample &, std::string &);

struct Column {
    const char *name;
    Reader read;
    Writer write;
};

bool IsPrintable(int c) {
    return c >= 0x20 && c < 0x7F;
}

// Printable characters, as many as fit before the terminating NUL; the rest is zeroed.
void CopyText(char *destination, std::size_t size, std::string_view field) {
    std::size_t n = 0;
    for (const char c : field)
        if (n + 1 < size && IsPrintable(static_cast<unsigned char>(c)))
            destination[n++] = c;
    std::memset(destination + n, 0, size - n);
}

// A number field: an optional sign and the digits after it, anything further ignored, no digits
// read as 0; nothing when it lies outside [min, max], so a value is never wrapped into another.
std::optional<long long> FieldNumber(std::string_view f, long long min, long long max) {
    std::size_t end = f.starts_with('-') || f.starts_with('+') ? 1 : 0;
    const std::size_t digits = end;
    while (end < f.size() && f[end] >= '0' && f[end] <= '9')
        ++end;
    if (end == digits)
        return 0;
    return platform::ParseNumber(f.substr(0, end), min, max);
}

// Every number column is read at its own field's width and sign, so what was written reads back;
// older files carried coarser units, scaled by K, and the scaled value must fit too.
template <auto M, long long K = 1> bool ReadNumber(GraphSample &s, std::string_view f) {
    using T = std::remove_cvref_t<decltype(s.*M)>;
    const std::optional<long long> value =
        FieldNumber(f, std::numeric_limits<T>::min() / K, std::numeric_limits<T>::max() / K);
    if (value)
        s.*M = static_cast<T>(*value * K);
    return value.has_value();
}
template <auto M, long long K> constexpr Reader ReadScaled = ReadNumber<M, K>;
template <auto M> bool ReadFlag(GraphSample &s, std::string_view f) {
    s.*M = f.empty() || f[0] != '0' ? 1 : 0;
    return true;
}
template <auto M> bool ReadText(GraphSample &s, std::string_view f) {
    CopyText(s.*M, sizeof(s.*M), f);
    return true;
}
bool ReadMode(GraphSample &s, std::string_view f) {
    s.rMd = f.empty() ? '\0' : f[0];
    return true;
}
// Hundredths of a knot to mm/s; signed, so a reversing vehicle's speed stays negative.
bool ReadKnots(GraphSample &s, std::string_view f) {
    constexpr long long kMost = std::numeric_limits<std::int32_t>::max() * 36933LL / 190000;
    const std::optional<long long> knots = FieldNumber(f, -kMost, kMost);
    if (knots)
        s.sogMmPerSec = static_cast<std::int32_t>(*knots * 190000 / 36933);
    return knots.has_value();
}
bool Skip(GraphSample &, std::string_view) {
    return true;
}

template <auto M> void WriteNumber(const GraphSample &s, std::string &out) {
    out += std::to_string(static_cast<long long>(s.*M));
}
template <auto M> void WriteText(const GraphSample &s, std::string &out) {
    out.append(s.*M, strnlen(s.*M, sizeof(s.*M)));
}
void WriteMode(const GraphSample &s, std::string &out) {
    out += IsPrintable(static_cast<unsigned char>(s.rMd)) && s.rMd != ' ' ? s.rMd : '?';
}

template <auto M> constexpr Column Number(const char *name) {
    return {name, ReadNumber<M>, WriteNumber<M>};
}
template <auto M> constexpr Column Flag(const char *name) {
    return {name, ReadFlag<M>, WriteNumber<M>};
}
template <auto M> constexpr Column Text(const char *name) {
    return {name, ReadText<M>, WriteText<M>};
}
// The plot rows are written for other tools but recomputed from the current scales on reading.
template <auto M> constexpr Column PlotRow(const char *name) {
    return {name, Skip, WriteNumber<M>};
}

constexpr std::array<Column, 53> kColumns{{
    Text<&GS::dat>("dat"),
    Text<&GS::tim>("tim"),
    Flag<&GS::hld>("hld"),
    {"rMd", ReadMode, WriteMode},
    Number<&GS::sats>("sats"),
    Number<&GS::latDeg>("latDeg"),
    Number<&GS::latUMin>("latUMin"),
    Number<&GS::lonDeg>("lonDeg"),
    Number<&GS::lonUMin>("lonUMin"),
    Number<&GS::sogTenthsMph>("sogTenthsMph"),
    Number<&GS::cogTenthsDeg>("cogTenthsDeg"),
    Number<&GS::offErrCM>("offErrCM"),
    Number<&GS::angErrTenthsDeg>("angErrTenthsDeg"),
    Number<&GS::waTenthDeg>("waTenthDeg"),
    Number<&GS::solOut>("solOut"),
    Number<&GS::strMode>("strMode"),
    PlotRow<&GS::p0>("p0"),
    PlotRow<&GS::p1>("p1"),
    PlotRow<&GS::p2>("p2"),
    PlotRow<&GS::p3>("p3"),
    PlotRow<&GS::p4>("p4"),
    PlotRow<&GS::p5>("p5"),
    Number<&GS::sogMmPerSec>("sogMmPerSec"),
    Flag<&GS::firstRsp>("1stRsp"),
    Number<&GS::spsZCtrl>("spsZCtrl"),
    Number<&GS::spsOffset>("spsOffset"),
    Number<&GS::dTmMs>("dTmMs"),
    Number<&GS::olDeadBand>("olDeadBand"),
    Number<&GS::olTonLen>("olTonLen"),
    Number<&GS::laDeadBand>("laDeadBand"),
    Number<&GS::laTonLen>("laTonLen"),
    Number<&GS::whBas>("whBas"),
    Number<&GS::minTurnRad>("minTurnRad"),
    Number<&GS::maxStrRat>("maxStrRat"),
    Number<&GS::spsLSet>("spsLSet"),
    Number<&GS::spsCSet>("spsCSet"),
    Number<&GS::spsRSet>("spsRSet"),
    Number<&GS::solCType>("solCType"),
    Number<&GS::solDly>("solDly"),
    Number<&GS::solMinDr>("solMinDr"),
    Number<&GS::solMaxDr>("solMaxDr"),
    Number<&GS::solPwm>("solPwm"),
    Number<&GS::cogFSmpls>("cogFSmpls"),
    Number<&GS::spsCur>("spsCur"),
    Number<&GS::srmLeft>("srmLeft"),
    Number<&GS::srmRight>("srmRight"),
    Number<&GS::dTmActMs>("dTmActMs"),
    Number<&GS::spsDeltaAlphaHunds>("spsDeltaAlphaHunds"),
    Number<&GS::vtgWheelAngleHunds>("vtgWheelAngleHunds"),
    Flag<&GS::draftFilterActive>("draftFilterActive"),
    Number<&GS::ModeFilterHunds>("ModeFilterHunds"),
    Number<&GS::draftFilterHunds>("draftFilterHunds"),
    Number<&GS::Rev2WATenths>("Rev2WATenths"),
}};

// Versions 2 and 3 share the first 47 columns of version 4.
constexpr std::size_t kVersion2Columns = 47;

// Version 3 ended in two values in tenths.
constexpr std::array<Reader, 2> kVersion3Tail{ReadScaled<&GS::spsDeltaAlphaHunds, 10>,
                                              ReadScaled<&GS::vtgWheelAngleHunds, 10>};

// Version 1: 44 values a row; its settings came in coarser units.
constexpr std::array<Reader, 44> kVersion1{
    ReadText<&GS::dat>,
    ReadText<&GS::tim>,
    ReadFlag<&GS::hld>,
    ReadMode,
    ReadNumber<&GS::sats>,
    ReadNumber<&GS::latDeg>,
    ReadNumber<&GS::latUMin>,
    ReadNumber<&GS::lonDeg>,
    ReadNumber<&GS::lonUMin>,
    Skip, // spsScaled
    ReadNumber<&GS::sogTenthsMph>,
    ReadNumber<&GS::cogTenthsDeg>,
    ReadNumber<&GS::offErrCM>,
    ReadNumber<&GS::angErrTenthsDeg>,
    ReadNumber<&GS::waTenthDeg>,
    ReadNumber<&GS::solOut>,
    ReadNumber<&GS::strMode>,
    Skip, // p0 .. p5
    Skip,
    Skip,
    Skip,
    Skip,
    Skip,
    ReadKnots,
    ReadFlag<&GS::firstRsp>,
    ReadNumber<&GS::spsZCtrl>,
    ReadScaled<&GS::spsOffset, 10>, // manSpsZ
    Skip,                           // autoSpsZ
    ReadScaled<&GS::dTmMs, 10>,
    ReadScaled<&GS::olDeadBand, 10>,
    ReadScaled<&GS::olTonLen, 100>,
    ReadScaled<&GS::laDeadBand, 10>,
    ReadScaled<&GS::laTonLen, 100>,
    ReadScaled<&GS::whBas, 100>,
    ReadScaled<&GS::minTurnRad, 100>,
    ReadNumber<&GS::maxStrRat>,
    ReadNumber<&GS::spsLSet>,
    ReadNumber<&GS::spsCSet>,
    ReadNumber<&GS::spsRSet>,
    ReadNumber<&GS::solCType>,
    ReadNumber<&GS::solDly>,
    ReadNumber<&GS::solMinDr>,
    ReadNumber<&GS::solMaxDr>,
    ReadNumber<&GS::solPwm>,
};

std::string JoinNames(std::size_t count) {
    std::string header;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            header += ',';
        header += kColumns[i].name;
    }
    return header;
}

bool IsHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// A device names itself in any bytes. Those a line or a field cannot carry (non-printable ones,
// the field separator) go as "%HH", so the identity line stays one line of the same fields and
// reads back byte for byte. A '%' is escaped only where two hex digits follow it, the one place
// the reader would decode it, so other readers see a printable identity such as "LB 100%" as it is.
template <std::size_t N> void AppendIdentityText(std::string &line, const char (&text)[N]) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::size_t length = strnlen(text, N);
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool decodable =
            c == '%' && i + 2 < length && IsHexDigit(text[i + 1]) && IsHexDigit(text[i + 2]);
        if (IsPrintable(c) && c != ',' && !decodable) {
            line += static_cast<char>(c);
        } else {
            line += '%';
            line += kHex[c >> 4];
            line += kHex[c & 0x0F];
        }
    }
    line += ',';
}

// An identity text as AppendIdentityText wrote it; a '%' without two hex digits after it stands
// for itself, as it did in files written before identities were escaped.
void CopyIdentityText(char *destination, std::size_t size, std::string_view field) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < field.size() && n + 1 < size; ++i) {
        auto c = static_cast<unsigned char>(field[i]);
        if (c == '%' && i + 2 < field.size() && IsHexDigit(field[i + 1]) && IsHexDigit(field[i + 2])) {
            c = FieldDecoders::HexToByte(field.substr(i + 1, 2));
            i += 2;
        } else if (!IsPrintable(c)) {
            continue;
        }
        if (c != '\0')
            destination[n++] = static_cast<char>(c);
    }
    std::memset(destination + n, 0, size - n);
}

std::string_view FieldAt(const std::vector<std::string_view> &fields, std::size_t i) {
    return i < fields.size() ? fields[i] : std::string_view{};
}

} // namespace

const std::string &Header(int version) {
    static const std::array<std::string, 4> headers{
        "dat,tim,hld,rMd,sats,latDeg,latUMin,lonDeg,lonUMin,spsScaled,sogTenthsMph,cogTenthsDeg,offErrCM,"
        "angErrTenthsDeg,solOut,strMode,p0,p1,p2,p3,p4,p5,sogHundsKnt,1stRsp,spsZCtrl,manSpsZ,autoSpsZ,dTm,"
        "olDeadBand,olTonLen,laDeadBand,laTonLen,whBas,minTurnRad,maxStrRat,spsLSet,spsCSet,spsRSet,solCType,"
        "solDly,solMinDr,solMaxDr,solPwm",
        JoinNames(kVersion2Columns),
        // Its writer left out the comma before the two new names.
        JoinNames(kVersion2Columns) + "spsDeltaAlpha,vtgWheelAngle",
        JoinNames(kColumns.size()),
    };
    return headers[static_cast<std::size_t>(version - 1)];
}

int HeaderVersion(std::string_view line) {
    for (int version = 1; version <= 4; ++version)
        if (line == Header(version))
            return version;
    return 0;
}

std::string IdentityLine(const DeviceIdentitySet &identities, std::string_view programVersion) {
    std::string line = kIdentityRecord;
    line += ',';
    for (const DeviceIdentity &id : identities) {
        AppendIdentityText(line, id.identity);
        AppendIdentityText(line, id.version);
        AppendIdentityText(line, id.serialNumber);
    }
    line += "Pelmora,";
    line += programVersion;
    line += ',';
    return line;
}

std::string Row(const GraphSample &sample) {
    std::string row;
    row.reserve(256);
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        if (i > 0)
            row += ',';
        kColumns[i].write(sample, row);
    }
    return row;
}

bool Write(QIODevice &out, const SampleRing &ring, int end, int count, const DeviceIdentitySet &identities,
           std::string_view programVersion) {
    std::string text = Header(4) + "\r\n" + IdentityLine(identities, programVersion) + "\r\n";
    const int start = SampleRing::StartOf(end, count);
    for (int i = 0; i < count; ++i)
        text += Row(ring.At(start + i)) + "\r\n";
    return out.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
}

int LineReader::Next() {
    if (position >= buffer.size()) {
        // Read into a buffer of its own: QIODevice::read() into a QByteArray gives an empty one
        // for a read error as for the end of the file.
        buffer.resize(64 * 1024);
        const qint64 got = device.read(buffer.data(), buffer.size());
        failed = failed || got < 0;
        buffer.resize(got > 0 ? got : 0);
        position = 0;
        if (buffer.isEmpty())
            return -1;
    }
    return static_cast<unsigned char>(buffer[position++]);
}

bool LineReader::ReadLine(std::string &line, std::size_t maxBytes) {
    line.clear();
    std::size_t taken = 0;
    const auto next = [&] { return taken++ < maxBytes ? Next() : -1; };
    int c = next();
    while (c >= 0 && !IsPrintable(c))
        c = next();
    while (c >= 0 && IsPrintable(c)) {
        if (line.size() < kMaxLine)
            line.push_back(static_cast<char>(c));
        c = next();
    }
    return c >= 0 && !line.empty();
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(
            line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos)
            return fields;
        start = comma + 1;
    }
}

bool ParseRow(int version, const std::vector<std::string_view> &fields, GraphSample &sample) {
    bool fits = true;
    if (version == 1) {
        for (std::size_t i = 0; i < kVersion1.size(); ++i)
            fits = kVersion1[i](sample, FieldAt(fields, i)) && fits;
        return fits;
    }
    const std::size_t columns = version == 4 ? kColumns.size() : kVersion2Columns;
    for (std::size_t i = 0; i < columns; ++i)
        fits = kColumns[i].read(sample, FieldAt(fields, i)) && fits;
    if (version == 3)
        for (std::size_t i = 0; i < kVersion3Tail.size(); ++i)
            fits = kVersion3Tail[i](sample, FieldAt(fields, kVersion2Columns + i)) && fits;
    return fits;
}

RowsRead ReadRows(LineReader &reader, int version, DeviceIdentitySet &identities,
                  const std::function<bool(GraphSample &)> &store) {
    GraphSample record{};
    bool full = false;
    std::string line;
    while (reader.ReadLine(line)) {
        const std::vector<std::string_view> fields = SplitFields(line);
        const bool identityRecord = version >= 2 && fields[0] == kIdentityRecord;
        // Once the ring is full, the lines after it are only looked at for a row left out.
        if (full) {
            if (!identityRecord)
                return RowsRead::RowsLeftOut;
            continue;
        }
        if (identityRecord) {
            for (std::size_t d = 0; d < identities.size(); ++d) {
                DeviceIdentity &id = identities[d];
                CopyIdentityText(id.identity, sizeof id.identity, FieldAt(fields, 1 + 3 * d));
                CopyIdentityText(id.version, sizeof id.version, FieldAt(fields, 2 + 3 * d));
                CopyIdentityText(id.serialNumber, sizeof id.serialNumber, FieldAt(fields, 3 + 3 * d));
            }
            continue;
        }
        if (!ParseRow(version, fields, record))
            return RowsRead::NumberOutOfRange;
        full = !store(record);
    }
    return RowsRead::All;
}

} // namespace GraphDataFile
