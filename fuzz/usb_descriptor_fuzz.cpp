#include "services/usb_descriptor.h"
#include "services/usb_walk.h"

#include "fuzz.h"

namespace {

// A bus whose every answer is the next piece of the input: a length byte pair, then that many bytes.
struct FuzzBus {
    const uint8_t* data;
    size_t size;
    int opened;
};

void* Open(void* context, const char*) {
    FuzzBus& bus = *static_cast<FuzzBus*>(context);
    if (bus.size == 0)
        return nullptr;
    bus.opened++;
    return &bus;
}

void Close(void* context, void*) {
    static_cast<FuzzBus*>(context)->opened--;
}

int Request(void* context, void*, uint32_t, const void*, uint32_t, void* out, uint32_t outLength, uint32_t* returned) {
    FuzzBus& bus = *static_cast<FuzzBus*>(context);
    if (bus.size < 2)
        return 0;
    // The claimed count may exceed what was written: the walk must not believe it.
    uint32_t claimed = bus.data[0] | bus.data[1] << 8;
    bus.data += 2;
    bus.size -= 2;
    uint32_t n = std::min({claimed, static_cast<uint32_t>(bus.size), outLength});
    std::memcpy(out, bus.data, n);
    bus.data += n;
    bus.size -= n;
    *returned = claimed;
    return 1;
}

int Describe(void*, const char* key, std::string* description) {
    *description = key;
    return key[0] != 'x';
}

std::string Narrow(void*, const uint16_t* units, size_t count) {
    return std::string(units, units + count);  // each unit cut to a byte: the text does not matter here
}

}  // namespace

// The first byte chooses: the formatter over the bytes as a record and a set, or the
// whole walk over a bus that answers with the bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    if (data[0] & 1) {
        std::vector<uint8_t> rest(data + 1, data + size);
        ReportLines out;
        ConfigurationWalk(rest.data(), rest.size(), {{1, 0x0409, "x"}}, out);
        if (rest.size() >= USB_CONNECTION_HEADER_SIZE) {
            DeviceLines(rest.data(), rest.size(), {}, out);
            StringIndices(rest.data(), rest.data() + USB_CONNECTION_HEADER_SIZE, rest.size() - USB_CONNECTION_HEADER_SIZE);
        }
        if (rest.size() >= USB_HUB_RECORD_SIZE)
            HubLines(rest.data(), out);
        return 0;
    }
    FuzzBus bus = {data + 1, size - 1, 0};
    UsbBus calls = {&bus, Open, Close, Request, Describe, Narrow};
    UsbReport report;
    WalkUsbTopology(calls, &report);
    if (bus.opened != 0)
        abort();
    return 0;
}
