#include "PlatformPredicates.h"

namespace platforms {

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    for (std::string_view candidate : names)
        if (name == candidate)
            return true;
    return false;
}

bool InZJ7Group(std::string_view name) {
    return IsOneOf(name, {"ZJ7", "ZJ7KOL", "ZJ736", "P3H5", "P3H5F", "KTR557", "KTR557T", "KTR531", "KTR536",
                          "KTR536k", "KTR557F", "TORVANEK", "KTR537"});
}

bool InP3NWGroup(std::string_view name) {
    return IsOneOf(name, {"TRNA6", "P3WH8", "P3WH8Q", "P3WH8Y"});
}

bool InKTR567Group(std::string_view name) {
    return IsOneOf(name, {"KTR567", "KTR521", "P8TB"});
}

bool InKTR9Group(std::string_view name) {
    return IsOneOf(name, {"KTR933", "KTR933W", "KTR933P", "KTR953", "KTR953T"});
}

bool AppVersionSupported(std::string_view p, bool external) {
    return IsOneOf(p, {"SA-1100", "ARM", "PXA250"}) || InZJ7Group(p) ||
           IsOneOf(p, {"Drusk", "Q8BXN", "Q8tlvp"}) || InP3NWGroup(p) || InKTR567Group(p) || InKTR9Group(p) ||
           external;
}

bool AppSignatureTypeSupported(std::string_view p, bool external) {
    return InZJ7Group(p) || InKTR567Group(p) || external;
}

bool MACSupported(std::string_view p, bool external) {
    return InZJ7Group(p) || p == "Q8BXN" || InKTR567Group(p) || p == "GARVO9" || InKTR9Group(p) || external;
}

bool MAC2Supported(std::string_view p) {
    return IsOneOf(p, {"Q8BXN", "KTR567"});
}

bool MAC3Supported(std::string_view p) {
    return IsOneOf(p, {"Q8BXN", "KTR567"});
}

bool ModifierSupported(std::string_view p, bool external) {
    return (InZJ7Group(p) && p != "TORVANEK") || InP3NWGroup(p) || InKTR567Group(p) || InKTR9Group(p) ||
           external;
}

bool HWVersionSupported(std::string_view p, bool external) {
    return IsOneOf(p, {"PXA250", "H8Q5", "J3U6C", "ZVX7", "MOLVEK", "U6CD", "tlvp-q", "Q8tlvp", "BEXNOR"}) ||
           InZJ7Group(p) ||
           IsOneOf(p, {"VOKTLRM", "VOKTLRX", "WZX", "KZX", "Drusk", "Varnholt", "KTRPOND"}) ||
           InP3NWGroup(p) || p == "Q8BXN" || InKTR567Group(p) || InKTR9Group(p) || external;
}

bool HWCapabilitiesSupported(std::string_view p) {
    return !IsOneOf(p, {"MOLVEK", "BEXNOR", "WZX", "KZX", "Drusk"});
}

} // namespace platforms
