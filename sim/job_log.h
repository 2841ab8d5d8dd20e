#pragma once
// What the simulated printers received, one line per job, for whoever watches them by
// hand: on the console and appended to a file that several simulators may share. Lines
// from several threads never mix.
#include <string>
#include <vector>

#include "sim/printer.h"

// Where the lines go: the console when `console` is set, and the file at `path` unless it
// is empty. Until called, nowhere.
void JobLogStart(bool console, const std::string& path);
// "<interface> job <n>: <bytes> bytes, hash <FNV-1a 64>" for each of the jobs, numbered
// on from the printer's count of ended jobs (`jobsDone` counts these jobs too).
void JobLogWrite(const char* interfaceName, const std::vector<SimJob>& jobs, long long jobsDone);
