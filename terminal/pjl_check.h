#pragma once

// PJL response check over one chunk; *state (1..7) carries across chunks.
// Returns 1 when no byte of the chunk violated, else 0. A violating byte leaves
// the state unchanged; a state outside 1..7 is taken as 1 (outside a response).
int StringCheck(int length, const unsigned char* bytes, int* state);
