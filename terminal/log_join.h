#pragma once

#include <string>

// The width actually used for cutting and joining: DspLine clamped into 1..1024.
int ClampLineWidth(int dspLine);

// 1 when the line holds none of the marker strings that end a data line.
int IsJoinableLine(const char* line);

// How "append display line" changes the log: either the last line is replaced
// by `last` (replaceLast 1), or not; then `extra` is added when addExtra is 1.
struct AppendPlan {
    int replaceLast;
    std::string last;
    int addExtra;
    std::string extra;
};

// `last` is the log's last line (nullptr when the log is empty) and
// `continuation` the continuation flag. Safe for any width.
AppendPlan PlanAppend(const char* last, int continuation, const char* text, int width);

// Log message with PortDsp 0: drops everything up to the first ')', or if
// there is none up to the first ':'. A text with neither stays whole.
void StripInterfacePrefix(char* text);
