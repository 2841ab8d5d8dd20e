// Keyboard input and function keys reach the connected driver here, without a send job.
#pragma once

// length 0 takes bytes as a NUL-terminated string. Returns 1 when sent or when there is
// nothing to send, 0 when refused or failed (the driver has logged why).
int DirectSend(const unsigned char* bytes, int length);
