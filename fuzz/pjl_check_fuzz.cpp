#include "terminal/pjl_check.h"

#include "fuzz.h"

// A response split anywhere must check the same as in one chunk, and the
// state must stay within 1..7.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    int start = 1 + data[0] % 7;
    const uint8_t* bytes = data + 2;
    int length = static_cast<int>(size - 2);
    int split = data[1] % (length + 1);

    int whole = start;
    int wholeOk = StringCheck(length, bytes, &whole);

    int parts = start;
    int firstOk = StringCheck(split, bytes, &parts);
    int secondOk = StringCheck(length - split, bytes + split, &parts);

    if (whole < 1 || whole > 7 || whole != parts || wholeOk != (firstOk && secondOk))
        abort();
    return 0;
}
