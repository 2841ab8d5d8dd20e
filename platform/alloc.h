// The file buffer allocation of the send job, with a ceiling tests can lower to make
// large allocations fail the way an exhausted machine would.
#pragma once
#include <windows.h>

extern SIZE_T FileBufferAllocLimit;  // 0: no ceiling

HGLOBAL AllocFileBuffer(SIZE_T bytes);  // zero-filled, movable; NULL on failure
