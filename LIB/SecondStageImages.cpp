#include "SecondStageImages.h"

#include "PlatformPredicates.h"

namespace secondstage {
namespace {

using platforms::IsOneOf;
using enum StartupSupport;

constexpr ImageChoice Arm{"SSL_ARM", nullptr, On, true};
constexpr ImageChoice Zvx{"SSL_ZVX", "Using ZVX Second Stage Loader", Unchanged, false};
constexpr ImageChoice H8q5{"SSL_H8Q5", "Using H8Q5 Second Stage Loader", Unchanged, false};
constexpr ImageChoice J3u6c{"SSL_J3U6C", "Using J3U6C Second Stage Loader", Unchanged, false};
constexpr ImageChoice MolVek{"SSL_MOLVEK", "Using MolVek Second Stage Loader", Unchanged, false};
constexpr ImageChoice Bexnor{"SSL_BEXNOR", "Using Bexnor Second Stage Loader", Unchanged, false};
constexpr ImageChoice U6cd{"SSL_U6CD", "Using U6CD Second Stage Loader", Unchanged, false};
constexpr ImageChoice Q8Tlvp{"SSL_Q8TLVP", "Using Q8 TLVP Second Stage Loader", Unchanged, false};
constexpr ImageChoice Q8Bexnor{"SSL_Q8BXN", "Using Q8 Bexnor Second Stage Loader", Unchanged, false};
constexpr ImageChoice Zj7{"SSL_ZJ7", "Using ZJ7 Second Stage Loader", On, true};
constexpr ImageChoice Voktlrm{"SSL_VOKTLRM", "Using VOKTLRM Second Stage Loader", Off, true};
constexpr ImageChoice Varnholt{"SSL_VARNHOLT", "Using VARNHOLT Second Stage Loader", Off, true};
constexpr ImageChoice P3nw{"SSL_P3NW", "Using P3NW Second Stage Loader", Off, true};
constexpr ImageChoice Falder{"SSL_FALDER", "Using FALDER Second Stage Loader", Off, true};
constexpr ImageChoice Drusk{DruskImage, "Using Drusk Second Stage Loader", On, true};
constexpr ImageChoice Ktr567{"SSL_KTR567", "Using KTR567 Second Stage Loader", On, true};
constexpr ImageChoice Ktr521{"SSL_KTR521", "Using KTR521 Second Stage Loader", On, true};
constexpr ImageChoice Garvo9{"SSL_GARVO9", "Using GARVO9 Second Stage Loader", On, true};

} // namespace

const ImageChoice *FindImage(std::string_view p) {
    if (IsOneOf(p, {"SA-1100", "ARM", "PXA250"}))
        return &Arm;
    if (p == "ZVX7")
        return &Zvx;
    if (p == "H8Q5")
        return &H8q5;
    if (p == "J3U6C")
        return &J3u6c;
    if (p == "MOLVEK")
        return &MolVek;
    if (p == "BEXNOR")
        return &Bexnor;
    if (IsOneOf(p, {"U6CD", "tlvp-q"}))
        return &U6cd;
    if (p == "Q8tlvp")
        return &Q8Tlvp;
    if (p == "Q8BXN")
        return &Q8Bexnor;
    if (platforms::InZJ7Group(p))
        return &Zj7;
    if (IsOneOf(p, {"VOKTLRM", "VOKTLRX"}))
        return &Voktlrm;
    if (p == "Varnholt")
        return &Varnholt;
    if (platforms::InP3NWGroup(p))
        return &P3nw;
    if (IsOneOf(p, {"WZX", "KZX"}))
        return &Falder;
    if (p == "Drusk")
        return &Drusk;
    if (p == "KTR567")
        return &Ktr567;
    if (p == "KTR521")
        return &Ktr521;
    if (p == "P8TB" || platforms::InKTR9Group(p))
        return &Garvo9;
    return nullptr;
}

int ImageBlocks(std::string_view p) {
    if (p == "ZVX7")
        return 13;
    if (p == "H8Q5")
        return 34;
    if (p == "J3U6C")
        return 35;
    if (p == "MOLVEK")
        return 7;
    if (p == "BEXNOR")
        return 13;
    if (IsOneOf(p, {"U6CD", "tlvp-q"}))
        return 14;
    if (platforms::InZJ7Group(p))
        return 23;
    if (IsOneOf(p, {"VOKTLRM", "VOKTLRX"}))
        return 13;
    if (p == "Varnholt")
        return 15;
    if (IsOneOf(p, {"TRNA6", "P3WH8", "P3WH8Q", "Q8BXN"}))
        return 23;
    if (p == "Drusk")
        return 0;
    if (IsOneOf(p, {"WZX", "KZX"}))
        return 3;
    if (p == "KTR567")
        return 36;
    if (IsOneOf(p, {"KTR521", "P8TB"}) || platforms::InKTR9Group(p))
        return 21;
    return 30;
}

bool ExternalFileIgnoresAppOffset(std::string_view p) {
    return IsOneOf(p, {"SA-1100", "PXA250", "WZX", "KZX", "Drusk"}) || platforms::InZJ7Group(p) ||
           IsOneOf(p, {"VOKTLRM", "VOKTLRX", "Varnholt"}) || platforms::InP3NWGroup(p) ||
           platforms::InKTR567Group(p) || platforms::InKTR9Group(p);
}

} // namespace secondstage
