#include "terminal/pjl_check.h"

namespace {

enum ByteClass { kAt, kP, kJ, kL, kCR, kLF, kFF, kOther };

ByteClass Classify(unsigned char b)
{
    switch (b) {
    case '@': return kAt;
    case 'P': return kP;
    case 'J': return kJ;
    case 'L': return kL;
    case 0x0D: return kCR;
    case 0x0A: return kLF;
    case 0x0C: return kFF;
    default: return kOther;
    }
}

// Next state per state (row 1..7) and byte class; 0 is a violation.
const int kNext[8][8] = {
    //  @  P  J  L CR LF FF other
    {0, 0, 0, 0, 0, 0, 0, 0},
    {2, 0, 0, 0, 0, 0, 0, 1},  // 1 outside a response
    {0, 3, 0, 0, 0, 0, 0, 0},  // 2 after "@"
    {0, 0, 4, 0, 0, 0, 0, 0},  // 3 after "@P"
    {0, 0, 0, 5, 0, 0, 0, 0},  // 4 after "@PJ"
    {0, 5, 5, 5, 6, 0, 0, 5},  // 5 inside a response line
    {0, 0, 0, 0, 0, 7, 0, 0},  // 6 after CR
    {0, 5, 5, 5, 0, 0, 1, 5},  // 7 after CR LF
};

}  // namespace

int StringCheck(int length, const unsigned char* bytes, int* state)
{
    int local = 1;
    if (state == nullptr)
        state = &local;
    if (*state < 1 || *state > 7)
        *state = 1;
    if (length <= 0 || bytes == nullptr)
        return 1;
    int ok = 1;
    for (int i = 0; i < length; ++i) {
        int next = kNext[*state][Classify(bytes[i])];
        if (next == 0)
            ok = 0;
        else
            *state = next;
    }
    return ok;
}
