#pragma once
#include "GraphSample.h"

class SentenceParser;

// Fills the current GraphSample from a complete "$PQVZR,HNX,<record>,..." sentence.
namespace GuidanceReply {

enum class Record { None, Position, Filters, Settings1, Settings2 };

// Field 2 names the record: PLT2, PLT3, PLT, SET12, SET22, SET1 or SET2. The sample's 1stRsp
// is left to the caller, which paces device identification with it.
Record Apply(SentenceParser &parser, GraphSample &sample);

} // namespace GuidanceReply
