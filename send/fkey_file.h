#pragma once

#include <cstddef>
#include <string>

enum { FUNCTION_KEY_COUNT = 12 };

// Twelve lines "NN,text\r\n", keys 01 to 12; a null text is written as empty.
std::string FormatFunctionKeyFile(const char* const texts[FUNCTION_KEY_COUNT]);

// Lines end at CR LF (a lone CR or LF belongs to the text); the last line may
// lack it. Keys absent from the file become empty; texts are cut to 1023
// characters. Returns 1, or 0 for "A file format is inaccurate." (a line
// whose number is not 1 to 12, an empty file, a NUL byte) with texts untouched.
int ReadFunctionKeyFile(const char* data, size_t size, std::string texts[FUNCTION_KEY_COUNT]);
