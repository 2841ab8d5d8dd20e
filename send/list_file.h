#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum { LIST_NAME_MAX = 259, LIST_ENTRY_MAX = 3000 };

// One name per line; CR LF, CR or LF end a line, blank lines are skipped, a
// last line without a break is kept. Names are cut at LIST_NAME_MAX
// characters and reading stops at LIST_ENTRY_MAX names. Returns 1 and
// replaces names when at least one was read; 0 otherwise (also for a NUL
// byte, which no path holds), names untouched.
int ReadListFile(const char* data, size_t size, std::vector<std::string>& names);

// Every name followed by CR LF.
std::string FormatListFile(const std::vector<std::string>& names);

// Ascending by full path without regard to letter case; equal paths keep
// their order.
void SortPathsNoCase(std::vector<std::string>& paths);

