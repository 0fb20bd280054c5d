#include "GraphStatusText.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace GraphStatusText {
namespace {

constexpr char kDegree = '\xB0';

std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char *format, ...) {
    char text[128];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

char SignOf(long long v) {
    return v < 0 ? '-' : v == 0 ? ' ' : '+';
}

bool IsShownChar(char c) {
    return c > ' ' && c < '\x7F';
}

// A fixed-point value as whole part (right-aligned in `width`, carrying a '-') and `places`
// fraction digits; "%3d.%03d" of a negative value would print the sign inside the fraction.
std::string Fixed(long long value, long long divisor, int width, int places) {
    const long long magnitude = std::llabs(value);
    const std::string whole = (value < 0 ? "-" : "") + std::to_string(magnitude / divisor);
    return Format("%*s.%0*lld", width, whole.c_str(), places, magnitude % divisor);
}

// Metres from millimetres; a last fraction digit 0 shows as a blank while the whole part fits
// in three places.
std::string Metres(std::int32_t mm) {
    std::string text = Fixed(mm, 1000, 3, 3);
    if (text.size() == 7 && text.back() == '0')
        text.back() = ' ';
    return text + "m";
}

// Set points and currents in tenths of a percent of the 20480 full range.
std::string Percent(std::int16_t value) {
    return Fixed(static_cast<long long>(value) * 1000 / 20480, 10, 3, 1) + "%";
}

std::string DegreesPerSecond(long long tenths) {
    return Fixed(tenths, 10, 3, 1) + kDegree + "/s";
}

template <std::size_t N> std::string Text(const char (&text)[N]) {
    return std::string(text, strnlen(text, N));
}

std::string Coordinate(char hemisphere, const char *format, std::int16_t degrees, std::int32_t microMinutes) {
    const long long um = std::llabs(static_cast<long long>(microMinutes));
    return Format(format, hemisphere, std::abs(static_cast<int>(degrees)), kDegree, um / 1000000,
                  um % 1000000 / 100);
}

} // namespace

std::string Date(const GraphSample &sample) {
    return "    " + Text(sample.dat);
}

std::string Time(const GraphSample &sample) {
    return "    " + Text(sample.tim);
}

std::string Latitude(std::int16_t degrees, std::int32_t microMinutes) {
    const bool south = degrees < 0 || microMinutes < 0;
    return Coordinate(south ? 'S' : 'N', "%c %02d%c%02lld.%04lld'", degrees, microMinutes);
}

std::string Longitude(std::int16_t degrees, std::int32_t microMinutes) {
    const bool west = degrees < 0 || microMinutes < 0;
    return Coordinate(west ? 'W' : 'E', "%c%03d%c%02lld.%04lld'", degrees, microMinutes);
}

std::string Satellites(const GraphSample &sample) {
    return Format("        %4d", sample.sats);
}

std::string DgpsMode(const GraphSample &sample) {
    return Format("           %c", IsShownChar(sample.rMd) ? sample.rMd : '?');
}

std::string Identity(const DeviceIdentity &device) {
    return Text(device.identity);
}

std::string Version(const DeviceIdentity &device) {
    return "      " + Text(device.version);
}

std::string SerialNumber(const DeviceIdentity &device) {
    return "ser num=" + Text(device.serialNumber);
}

std::string TraceValue(int trace, const GraphSample &sample) {
    auto split = [](std::int16_t v, int divisor, const char *format) {
        const int m = std::abs(static_cast<int>(v));
        return Format(format, SignOf(v), m / divisor, m % divisor);
    };
    switch (trace) {
    case 0:
        return split(sample.sogTenthsMph, 10, "%c% 6d.%1d");
    case 1: {
        const int m = std::abs(static_cast<int>(sample.cogTenthsDeg));
        return Format("% 6d.%1d%c", m / 10, m % 10, kDegree);
    }
    case 2:
        return split(sample.offErrCM, 100, " %c% 4d.%02dm");
    case 3:
        return split(sample.angErrTenthsDeg, 10, " %c% 4d.%1d") + kDegree;
    case 4:
        return split(sample.waTenthDeg, 10, " %c% 4d.%1d") + kDegree;
    default: {
        const int m = std::abs(static_cast<int>(sample.solOut));
        return Format(" %c% 4d%%", SignOf(sample.solOut), m);
    }
    }
}

const char *TraceMode(bool on, bool log) {
    return !on ? "off" : log ? "LOG " : "LIN ";
}

Banner ModeBanner(std::uint8_t mode) {
    switch (mode) {
    case 0:
        return {"       Off        ", 0x808080};
    case 1:
        return {" Approaching Path ", 0x000080};
    case 2:
        return {" Line Aquisition  ", 0x000000};
    case 3:
        return {"     On Line      ", 0x008000};
    case 4:
        return {"  On Line-DM      ", 0xFF0000};
    default:
        return {nullptr, 0};
    }
}

std::array<ParameterRow, 12> Parameters(const GraphSample &s) {
    static constexpr const char *kZControl[] = {"  OFF ", "  MAN ", " AUTO "};
    static constexpr const char *kSolenoid[] = {"On-Off", "Pulsed", "SPS Dir", "  PWM "};
    const char *zControl = s.spsZCtrl >= 0 && s.spsZCtrl <= 2 ? kZControl[s.spsZCtrl] : "    ? ";
    const char *solenoid = s.solCType >= 0 && s.solCType <= 3 ? kSolenoid[s.solCType] : "    ? ";
    const long long offset = s.spsOffset;
    return {{
        {"SPS ZControl", zControl, "Delta Time", Fixed(s.dTmMs / 10, 100, 3, 2) + " s"},
        {"SPS Offset",
         Format("%c%1lld.%03lldm", SignOf(offset), std::llabs(offset) / 1000, std::llabs(offset) % 1000),
         "Delta actual", Fixed(s.dTmActMs, 1000, 3, 3) + "s"},
        {"SPS Current", Percent(s.spsCur), "OL Dead Band", Metres(s.olDeadBand)},
        {"SPS Left", Percent(s.spsLSet), "OL TongueLength", Metres(s.olTonLen)},
        {"SPS Center", Percent(s.spsCSet), "LA Dead Band", Metres(s.laDeadBand)},
        {"SPS Right", Percent(s.spsRSet), "LA TongueLength", Metres(s.laTonLen)},
        {"", "", "COG Filter", Format("%3d", s.cogFSmpls)},
        {"Sol Control", solenoid, "Wheel Base", Metres(s.whBas)},
        {"Sol Delay", Format("%5dms", s.solDly), "Min Turn Radius", Metres(s.minTurnRad)},
        {"Sol Min Drive", Format("%5d%%", s.solMinDr), "Max Steer Rate", DegreesPerSecond(s.maxStrRat)},
        {"Sol Max Drive", Format("%5d%%", s.solMaxDr), "SRM Left", DegreesPerSecond(std::abs(s.srmLeft))},
        {"Sol PWM Rate", Format("%5dhz", s.solPwm), "SRM Right", DegreesPerSecond(std::abs(s.srmRight))},
    }};
}

} // namespace GraphStatusText
