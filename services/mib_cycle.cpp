#include "services/mib_cycle.h"

#include <cstdlib>

#include "services/mib_codec.h"

unsigned MibReceiveSize(const char* text)
{
    unsigned long size = std::strtoul(text, nullptr, 10);
    return size < MIB_RECEIVE_MIN || size > MIB_RECEIVE_MAX ? MIB_RECEIVE_MIN : static_cast<unsigned>(size);
}

int MibCycle(const VendorChannel& channel, int* counter, MibCycleResult* result)
{
    *result = MibCycleResult();
    int code = VendorMibSet(channel, MibCycleRequest(*counter));
    if (code != 0) {
        result->errors.push_back(VendorErrorText(VENDOR_MIB_SET, code));
        *counter = 1;
        return 0;
    }
    std::string answer;
    code = VendorMibGet(channel, MIB_RECEIVE_MAX, &answer);
    MibAnswer decoded;
    if (code != 0) {
        result->errors.push_back(VendorErrorText(VENDOR_MIB_GET, code));
        *counter = 1;
        return 1;
    }
    if (MibDecode(reinterpret_cast<const uint8_t*>(answer.data()), answer.size(), &decoded) != MIB_COMPLETE) {
        *counter = 1;
        return 1;
    }
    result->value = MibCycleText(decoded);
    result->logged = 1;
    *counter = *counter >= 255 ? 1 : *counter + 1;
    return 1;
}
