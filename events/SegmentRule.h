#pragma once

#include "EventCollection.h"
#include "ParserFactory.h"

// The segment rule for a list that no decoder of this session made, such as one
// opened from a log file: the garage variant's when every record carries a
// garage group text, otherwise the main variant's. (A garage list would
// otherwise lose its power-up boundaries; records without a raw copy still
// show them by type text and code byte.)
Variant segmentRuleVariant(const EventCollection& events);
