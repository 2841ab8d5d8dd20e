#pragma once

// Called once per display line. `open` is 1 when the line may be continued by
// the next append (cut at the width, or left at the end of the chunk), 0 after LF/FF.
typedef void (*DisplayLineFn)(const char* line, int open);

// Renders one received chunk into display lines. Always returns 1.
// Safe for any width: a width below 1 puts every token on a line of its own.
int RenderReceivedData(int length, const unsigned char* bytes, int width, DisplayLineFn emit);
