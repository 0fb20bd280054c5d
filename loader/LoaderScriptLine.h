#pragma once
#include <string>

// The keywords of a loader script, in the order in which they are tested.
enum class ScriptKeyword {
    None,
    BANNER,
    BOOTTARGET,
    CLEANUP,
    COM,
    DEBUG,
    DELAY,
    FILE,
    GENERATE,
    INIT,
    LOAD,
    MESSAGE,
    OPTILOAD,
    PLATFORM,
    PROMPT,
    POWER,
    PWRPORT,
    QUIT,
    RESET,
    SETFILE,
    TIMEOUT,
    TRACE,
    UNIT,
    UPDATE,
};

// One script line taken apart: the first word (blanks and tabs skipped before it), the keyword
// it names, and the argument (everything after the line's first space; tabs do not count).
struct ScriptLine {
    bool empty = true;
    std::string word;
    ScriptKeyword keyword = ScriptKeyword::None;
    std::string argument;
};

// Splits a line as read from the file; its line end (LF or CR LF) is dropped first.
ScriptLine SplitScriptLine(std::string line);

// The C runtime's atol rules: leading white space, an optional sign, digits up to the first
// other character; 0 when there are none. Out of range saturates at the int limits.
int ScriptArgToInt(const std::string &text);
