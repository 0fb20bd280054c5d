#include "GuidanceReply.h"

#include "FieldDecoders.h"
#include "SentenceParser.h"

#include <string_view>

using namespace FieldDecoders;

namespace GuidanceReply {
namespace {

// Negation and scaling wrap in the field's width, done unsigned to stay defined.
std::int16_t Negate16(std::int16_t v) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(0u - static_cast<std::uint16_t>(v)));
}
std::int32_t Negate32(std::int32_t v) {
    return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(v));
}
std::int16_t Times16(std::int16_t v, int k) {
    return static_cast<std::int16_t>(
        static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) * static_cast<std::uint32_t>(k)));
}
std::int32_t Times32(std::int32_t v, int k) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) * static_cast<std::uint32_t>(k));
}
std::string_view From(std::string_view field, std::size_t pos) {
    return pos < field.size() ? field.substr(pos) : std::string_view{};
}

// A latitude (2 degree digits) or longitude (3) field and its hemisphere: whole degrees and
// millionths of minutes, both negative in the southern or western hemisphere.
void ApplyCoordinate(std::string_view field, std::size_t degreeDigits, bool negative, std::int16_t &degrees,
                     std::int32_t &microMinutes) {
    const std::string_view head = field.substr(0, degreeDigits);
    degrees = degreeDigits == 2 ? FieldToDeg2(head) : FieldToDeg3(head);
    microMinutes = FieldToMicroMinutes(From(field, degreeDigits));
    if (negative) {
        degrees = Negate16(degrees);
        microMinutes = Negate32(microMinutes);
    }
}

void ApplyPosition(SentenceParser &p, GraphSample &s, bool plt2) {
    s.waTenthDeg = FieldToTenths(p.FieldView(3));
    s.offErrCM = FieldToHundredths(p.FieldView(4));
    s.angErrTenthsDeg = FieldToTenths(p.FieldView(5));
    ApplyCoordinate(p.FieldView(6), 2, p.FieldView(7).starts_with('S'), s.latDeg, s.latUMin);
    ApplyCoordinate(p.FieldView(8), 3, p.FieldView(9).starts_with('W'), s.lonDeg, s.lonUMin);
    const std::string_view mode = p.FieldView(10);
    s.rMd = mode.empty() ? '\0' : mode[0];
    s.sats = FieldToByte(p.FieldView(11));
    s.cogTenthsDeg = FieldToTenths(p.FieldView(12));
    if (plt2) {
        s.sogMmPerSec = FieldToInt(p.FieldView(13));
        // Worked in 32 bits as the record's speeds are: a huge value wraps before the division.
        s.sogTenthsMph = static_cast<std::int16_t>(Times32(s.sogMmPerSec, 1000) / 44704);
    } else {
        // Hundredths of a knot to tenths of a mph.
        const std::int64_t knots = FieldToHundredths(p.FieldView(13));
        s.sogTenthsMph = static_cast<std::int16_t>(static_cast<std::int32_t>(knots * 65536 / 569878));
    }
    s.solOut = FieldToShort(p.FieldView(14));
    s.strMode = FieldToByte(p.FieldView(15));
    s.spsCur = FieldToShort(p.FieldView(16));
    if (plt2) {
        s.yawRateFlag = p.FieldView(17).starts_with('1') ? '1' : '0';
        s.reverseFlag = p.FieldView(18).starts_with('1') ? '1' : '0';
        if (s.reverseFlag == '1') {
            s.sogMmPerSec = Negate32(s.sogMmPerSec);
            s.sogTenthsMph = Negate16(s.sogTenthsMph);
        }
    }
}

} // namespace

Record Apply(SentenceParser &p, GraphSample &s) {
    const std::string_view record = p.FieldView(2);
    if (record == "PLT2" || record == "PLT") {
        if (p.GetFieldCount() < 14)
            return Record::None;
        ApplyPosition(p, s, record == "PLT2");
        return Record::Position;
    }
    if (record == "PLT3") {
        s.draftFilterActive = FieldToShort(p.FieldView(3)) != 0 ? 1 : 0;
        s.spsDeltaAlphaHunds = FieldToShort(p.FieldView(4));
        s.vtgWheelAngleHunds = FieldToShort(p.FieldView(5));
        s.ModeFilterHunds = FieldToShort(p.FieldView(6));
        s.draftFilterHunds = FieldToShort(p.FieldView(7));
        s.Rev2WATenths = FieldToShort(p.FieldView(8));
        return Record::Filters;
    }
    if (record == "SET12") {
        s.spsZCtrl = p.GetFieldInt16(3);
        s.spsOffset = p.GetFieldInt32(4);
        s.dTmMs = p.GetFieldInt16(5);
        s.olDeadBand = p.GetFieldInt32(6);
        s.olTonLen = p.GetFieldInt32(7);
        s.laDeadBand = p.GetFieldInt32(8);
        s.laTonLen = p.GetFieldInt32(9);
        s.whBas = p.GetFieldInt32(10);
        s.minTurnRad = p.GetFieldInt32(11);
        s.maxStrRat = p.GetFieldInt16(12);
        return Record::Settings1;
    }
    if (record == "SET1") {
        // Older units, scaled to those of SET12; field 5 is not used.
        s.spsZCtrl = p.GetFieldInt16(3);
        s.spsOffset = Times32(p.GetFieldInt32(4), 10);
        s.dTmMs = Times16(p.GetFieldInt16(6), 10);
        s.olDeadBand = Times32(p.GetFieldInt32(7), 10);
        s.olTonLen = Times32(p.GetFieldInt32(8), 100);
        s.laDeadBand = Times32(p.GetFieldInt32(9), 10);
        s.laTonLen = Times32(p.GetFieldInt32(10), 100);
        s.whBas = Times32(p.GetFieldInt32(11), 100);
        s.minTurnRad = Times32(p.GetFieldInt32(12), 100);
        s.maxStrRat = p.GetFieldInt16(13);
        return Record::Settings1;
    }
    if (record == "SET22" || record == "SET2") {
        s.spsLSet = p.GetFieldInt16(3);
        s.spsCSet = p.GetFieldInt16(4);
        s.spsRSet = p.GetFieldInt16(5);
        s.solCType = p.GetFieldInt16(6);
        s.solDly = p.GetFieldInt16(7);
        s.solMinDr = p.GetFieldInt16(8);
        s.solMaxDr = p.GetFieldInt16(9);
        s.solPwm = p.GetFieldInt16(10);
        if (record == "SET22") {
            s.cogFSmpls = p.GetFieldInt16(11);
            s.srmLeft = p.GetFieldInt16(12);
            s.srmRight = p.GetFieldInt16(13);
            s.dTmActMs = p.GetFieldInt16(14);
        }
        return Record::Settings2;
    }
    return Record::None;
}

} // namespace GuidanceReply
