// The printer's IEEE 1284 device ID ("MFG:ACME;CMD:PCL;") as display lines.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// One line "KEY = value" per entry, read up to the first NUL or `length`; the last entry
// may lack its ';'. An entry without ':' is not shown.
std::vector<std::string> DeviceIdLines(const char* id, size_t length);
