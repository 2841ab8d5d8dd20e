#pragma once

// Size of a key text buffer, a parsed-bytes buffer and a terminal log line.
enum { KEY_TEXT_SIZE = 1024 };

// 0..15 for 0-9, a-f, A-F; -1 for anything else.
int HexDigitValue(int c);

// high * 16 + low; 0 when either digit is not hexadecimal.
unsigned char HexPairValue(char high, char low);

// Strict parser of a keyboard line: only "\\" and "\x" with two hex digits.
// Reads at most KEY_TEXT_SIZE-1 characters of text, as the entry field holds.
// Returns the byte count written to out (KEY_TEXT_SIZE bytes, NUL-terminated),
// or -1 with the "ERROR: ..." log line in errorLine (KEY_TEXT_SIZE bytes).
int ParseKeyboardLine(const char* text, unsigned char* out, char* errorLine);

// Lenient expansion of a function key text ("\\", "\n", "\r", "\x" + two hex
// digits); what it does not understand is dropped. Writes at most outSize-1
// bytes and a NUL; returns the byte count.
int ExpandFunctionKey(const char* text, unsigned char* out, int outSize);

// 1 when every escape of text is valid. 0 otherwise, with the selection that
// marks the first bad escape (clipped to the text).
int ValidateFunctionKeyText(const char* text, int* selStart, int* selLength);
