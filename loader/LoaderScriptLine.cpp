#include "LoaderScriptLine.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <utility>

namespace {

// A first word longer than the keyword field can hold is no keyword.
constexpr std::size_t keywordFieldChars = 51;

const std::array<std::pair<const char *, ScriptKeyword>, 23> keywords = {{
    {"BANNER", ScriptKeyword::BANNER},     {"BOOTTARGET", ScriptKeyword::BOOTTARGET},
    {"CLEANUP", ScriptKeyword::CLEANUP},   {"COM", ScriptKeyword::COM},
    {"DEBUG", ScriptKeyword::DEBUG},       {"DELAY", ScriptKeyword::DELAY},
    {"FILE", ScriptKeyword::FILE},         {"GENERATE", ScriptKeyword::GENERATE},
    {"INIT", ScriptKeyword::INIT},         {"LOAD", ScriptKeyword::LOAD},
    {"MESSAGE", ScriptKeyword::MESSAGE},   {"OPTILOAD", ScriptKeyword::OPTILOAD},
    {"PLATFORM", ScriptKeyword::PLATFORM}, {"PROMPT", ScriptKeyword::PROMPT},
    {"POWER", ScriptKeyword::POWER},       {"PWRPORT", ScriptKeyword::PWRPORT},
    {"QUIT", ScriptKeyword::QUIT},         {"RESET", ScriptKeyword::RESET},
    {"SETFILE", ScriptKeyword::SETFILE},   {"TIMEOUT", ScriptKeyword::TIMEOUT},
    {"TRACE", ScriptKeyword::TRACE},       {"UNIT", ScriptKeyword::UNIT},
    {"UPDATE", ScriptKeyword::UPDATE},
}};

bool SameIgnoringCase(const std::string &a, const char *b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == '\0';
}

} // namespace

ScriptLine SplitScriptLine(std::string line) {
    ScriptLine result;
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty())
        return result;
    result.empty = false;
    std::size_t start = 0;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
        ++start;
    std::size_t end = start;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t')
        ++end;
    result.word = line.substr(start, end - start);
    if (result.word.size() <= keywordFieldChars)
        for (const auto &[name, keyword] : keywords)
            if (SameIgnoringCase(result.word, name)) {
                result.keyword = keyword;
                break;
            }
    const std::size_t space = line.find(' ');
    if (space != std::string::npos)
        result.argument = line.substr(space + 1);
    return result;
}

int ScriptArgToInt(const std::string &text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // Out of range saturates at the int limits rather than overflowing.
    constexpr long long limit = static_cast<long long>(INT_MAX) + 1;
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        value = std::min(value * 10 + (text[i] - '0'), limit);
    return static_cast<int>(negative ? -value : std::min<long long>(value, INT_MAX));
}
