#pragma once
#include "MessageCategory.h"
#include "SentenceParser.h"

// Classifies the text of a line, received or sent, with a parser of its own so the main loop's
// parser keeps the sentence it is dispatching.
class MessageClassifier {
public:
    // 2..8: what the device's line is, by its name and kind.
    MessageCategory ClassifyMessage(const char *text);
    // Whether a sent line is a panel key or the display-on request, which the monitor shows with
    // the panel's traffic as well as with the outgoing lines.
    bool IsPanelLine(const char *text);

private:
    SentenceParser parser;
};
