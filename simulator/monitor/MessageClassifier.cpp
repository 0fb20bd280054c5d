#include "MessageClassifier.h"

#include <initializer_list>
#include <string_view>

namespace {

bool IsOneOf(std::string_view value, std::initializer_list<std::string_view> candidates) {
    for (const std::string_view candidate : candidates)
        if (value == candidate)
            return true;
    return false;
}

} // namespace

MessageCategory MessageClassifier::ClassifyMessage(const char *text) {
    const std::uint8_t state = parser.ParseString(text);
    if (state == SentenceParser::RawLineComplete)
        return MessageCategory::NonNmea;
    if (state != SentenceParser::SentenceComplete || parser.GetFieldCount() < 2)
        return MessageCategory::Unclassified;

    const std::string_view name = parser.FieldView(0);
    const std::string_view kind = parser.FieldView(1);
    // The order matters: a key sentence about the controller ($PQVZK,HNX) is the controller's.
    if (name.starts_with("PQVZ") && kind == "LBX")
        return MessageCategory::LightBar;
    if (name.starts_with("PQVZ") && kind == "HNX")
        return MessageCategory::Holvanek;
    if (name == "PQVZK" || name == "PQVZD")
        return MessageCategory::Rfp;
    if (name == "PQVZS" && IsOneOf(kind, {"TXT", "TXX", "CLR", "BKL", "CON"}))
        return MessageCategory::Rfp;
    if (name.starts_with("GP"))
        return MessageCategory::Dgps;
    if ((name == "PQVZQ" || name == "PQVZR") && kind == "RID")
        return MessageCategory::Dgps;
    if (IsOneOf(kind, {"PAR", "RAD", "ACK", "NAK", "QVZ"}))
        return MessageCategory::Dgps;
    return MessageCategory::OtherSentence;
}

bool MessageClassifier::IsPanelLine(const char *text) {
    if (parser.ParseString(text) != SentenceParser::SentenceComplete || parser.GetFieldCount() < 2)
        return false;
    const std::string_view name = parser.FieldView(0);
    return name == "PQVZK" || (name == "PQVZS" && parser.FieldView(1) == "LCD");
}
