#include "services/usb_walk.h"

#include <cstdio>
#include <cstring>

#include "send/escape.h"

namespace {

struct Walk {
    const UsbBus& bus;
    UsbReport* report;
};

typedef std::vector<uint8_t> Bytes;

void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void Put16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// In and out share the buffer, as the hub driver's requests do; the count is bounded by it.
int Request(const Walk& w, void* device, uint32_t code, Bytes& buffer, uint32_t* returned)
{
    uint32_t size = static_cast<uint32_t>(buffer.size());
    *returned = 0;
    if (!w.bus.request(w.bus.context, device, code, buffer.data(), size, buffer.data(), size, returned))
        return 0;
    if (*returned > size)
        *returned = size;
    return 1;
}

std::string Narrow(const Walk& w, const uint8_t* bytes, size_t units)
{
    std::vector<uint16_t> text;
    for (size_t i = 0; i < units && Le16(bytes + 2 * i); i++)
        text.push_back(Le16(bytes + 2 * i));
    return w.bus.narrow(w.bus.context, text.data(), text.size());
}

// A name request: asked first with the header alone to learn the length, then in full.
// Controller requests carry the length first (header 6); port requests the port, then the length (10).
std::string Name(const Walk& w, void* device, uint32_t code, uint32_t port)
{
    uint32_t header = port ? 10 : 6;
    uint32_t lengthAt = port ? 4 : 0;
    Bytes buffer(header, 0);
    uint32_t got;
    Put32(buffer.data(), port);
    if (!Request(w, device, code, buffer, &got) || got < lengthAt + 4)
        return "";
    uint32_t actual = Le32(buffer.data() + lengthAt);
    if (actual <= header || actual > USB_NAME_LIMIT)
        return "";
    buffer.assign(actual, 0);
    Put32(buffer.data(), port);
    if (!Request(w, device, code, buffer, &got) || got <= lengthAt + 4)
        return "";
    return Narrow(w, buffer.data() + lengthAt + 4, (got - lengthAt - 4) / 2);
}

int GetDescriptor(const Walk& w, void* hub, uint32_t port, uint16_t value, uint16_t index, uint16_t length,
                  Bytes& buffer, uint32_t* got)
{
    buffer.assign(12u + length, 0);
    Put32(buffer.data(), port);
    Put16(buffer.data() + 6, value);
    Put16(buffer.data() + 8, index);
    Put16(buffer.data() + 10, length);
    return Request(w, hub, IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION, buffer, got);
}

int ConfigurationSet(const Walk& w, void* hub, uint32_t port, Bytes* set)
{
    Bytes buffer;
    uint32_t got;
    if (!GetDescriptor(w, hub, port, 0x0200, 0, 9, buffer, &got) || got != buffer.size())
        return 0;
    uint16_t total = Le16(buffer.data() + 14);
    if (total < 9)
        return 0;
    if (!GetDescriptor(w, hub, port, 0x0200, 0, total, buffer, &got) || got != buffer.size() ||
        Le16(buffer.data() + 14) != total)
        return 0;
    set->assign(buffer.begin() + 12, buffer.end());
    return 1;
}

// A string descriptor that fills exactly what came back, with whole code units.
int FetchString(const Walk& w, void* hub, uint32_t port, uint8_t index, uint16_t language, Bytes& buffer)
{
    uint32_t got;
    if (!GetDescriptor(w, hub, port, static_cast<uint16_t>(0x0300 + index), language, 255, buffer, &got))
        return 0;
    return got >= 14 && buffer[13] == 3 && buffer[12] == got - 12 && buffer[12] % 2 == 0;
}

UsbStrings StringList(const Walk& w, void* hub, uint32_t port, const uint8_t* record, const Bytes& set)
{
    UsbStrings strings;
    std::vector<uint8_t> indices = StringIndices(record, set.data(), set.size());
    Bytes buffer;
    if (indices.empty() || !FetchString(w, hub, port, 0, 0, buffer))
        return strings;
    Bytes languages(buffer.begin() + 14, buffer.begin() + 12 + buffer[12]);
    for (uint8_t index : indices) {
        for (size_t i = 0; i + 1 < languages.size(); i += 2) {
            uint16_t language = Le16(languages.data() + i);
            if (FetchString(w, hub, port, index, language, buffer))
                strings.push_back({index, language, Narrow(w, buffer.data() + 14, (buffer[12] - 2) / 2)});
        }
    }
    return strings;
}

std::string PortLine(uint32_t port, const uint8_t* record, const std::string& title)
{
    return " -[Port" + std::to_string(port) + "] " + ConnectionStatusName(ConnectionStatus(record)) + ":  " + title;
}

// The hub's own port, when it hangs on one: its connection record and what was read with it.
struct HubPort {
    uint32_t port;
    const Bytes* record;
    const Bytes* set;  // empty when no configuration set was read
    const UsbStrings* strings;
};

void ExploreHub(const Walk& w, const std::string& name, const HubPort* at, const std::string& title, int depth);

void ExplorePort(const Walk& w, void* hub, uint32_t port, int depth)
{
    Bytes record(USB_CONNECTION_RECORD_SIZE, 0);
    uint32_t got;
    Put32(record.data(), port);
    if (!Request(w, hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, record, &got) ||
        got < USB_CONNECTION_HEADER_SIZE)
        return;
    record.resize(got);
    const uint8_t* r = record.data();
    std::string driverKey, description;
    int described = 0;
    if (ConnectionStatus(r) != 0) {
        driverKey = Name(w, hub, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, port);
        described = !driverKey.empty() && w.bus.describe(w.bus.context, driverKey.c_str(), &description);
    }
    Bytes set;
    UsbStrings strings;
    if (ConnectionStatus(r) == 1 && ConfigurationSet(w, hub, port, &set))
        strings = StringList(w, hub, port, r, set);
    if (ConnectionIsHub(r)) {
        std::string name = Name(w, hub, IOCTL_USB_GET_NODE_CONNECTION_NAME, port);
        HubPort at = {port, &record, &set, &strings};
        if (!name.empty() && depth < USB_HUB_DEPTH_LIMIT)
            ExploreHub(w, name, &at, described ? description : name, depth + 1);
        return;
    }
    if (!described || ConnectionVendor(r) != MAKER_VENDOR_ID)
        return;
    ReportLines& out = w.report->lines;
    out.push_back("");
    out.push_back(PortLine(port, r, description));
    DeviceLines(r, record.size(), strings, out);
    if (!set.empty())
        ConfigurationWalk(set.data(), set.size(), strings, out);
    UsbWalkedDevice device = {driverKey, ConnectionVendor(r), ConnectionProduct(r), "", SpeedText(r),
                              VendorCapable(r)};
    for (const UsbString& s : strings)
        if (s.index == r[20] && device.serial.empty())
            device.serial = s.text;
    w.report->devices.push_back(device);
}

void ExploreHub(const Walk& w, const std::string& name, const HubPort* at, const std::string& title, int depth)
{
    void* hub = w.bus.open(w.bus.context, ("\\\\.\\" + name).c_str());
    if (!hub)
        return;
    Bytes node(USB_HUB_RECORD_SIZE, 0);
    uint32_t got;
    if (!Request(w, hub, IOCTL_USB_GET_NODE_INFORMATION, node, &got) || got < USB_HUB_RECORD_SIZE) {
        w.bus.close(w.bus.context, hub);
        return;
    }
    ReportLines& out = w.report->lines;
    out.push_back("");
    if (!at) {
        out.push_back(title);
        out.push_back("Root Hub: " + name);
        HubLines(node.data(), out);
    } else {
        out.push_back(PortLine(at->port, at->record->data(), title));
        out.push_back("External Hub: " + name);
        HubLines(node.data(), out);
        DeviceLines(at->record->data(), at->record->size(), *at->strings, out);
        if (!at->set->empty())
            ConfigurationWalk(at->set->data(), at->set->size(), *at->strings, out);
    }
    for (uint32_t port = 1; port <= node[6]; port++)
        ExplorePort(w, hub, port, depth);
    w.bus.close(w.bus.context, hub);
}

int HexAt(const char* p, int digits, unsigned* value)
{
    *value = 0;
    for (int i = 0; i < digits; i++) {
        int d = HexDigitValue(static_cast<unsigned char>(p[i]));
        if (d < 0)
            return 0;
        *value = *value * 16 + d;
    }
    return 1;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

void UsbTopologyWalk(const UsbBus& bus, UsbReport* report)
{
    Walk w = {bus, report};
    for (int n = 0; n <= 9; n++) {
        char name[24];
        std::snprintf(name, sizeof name, "\\\\.\\HCD%d", n);
        void* controller = bus.open(bus.context, name);
        if (!controller)
            continue;
        std::string driverKey = Name(w, controller, IOCTL_GET_HCD_DRIVERKEY_NAME, 0), description;
        if (driverKey.empty() || !bus.describe(bus.context, driverKey.c_str(), &description))
            description = name + 4;
        report->lines.push_back(description);
        std::string rootHub = Name(w, controller, IOCTL_USB_GET_ROOT_HUB_NAME, 0);
        if (!rootHub.empty())
            ExploreHub(w, rootHub, nullptr, "RootHub", 0);
        bus.close(bus.context, controller);
    }
}

const UsbWalkedDevice* FindWalkedDevice(const std::vector<UsbWalkedDevice>& devices, const char* devicePath,
                                        const char* driverKey)
{
    if (driverKey && *driverKey)
        for (const UsbWalkedDevice& d : devices)
            if (d.driverKey == driverKey)
                return &d;
    std::string path = Lower(devicePath ? devicePath : "");
    size_t at = path.find("vid_");
    unsigned vendor, product;
    if (at == std::string::npos || path.size() < at + 17 || path.compare(at + 8, 5, "&pid_") != 0 ||
        !HexAt(path.c_str() + at + 4, 4, &vendor) || !HexAt(path.c_str() + at + 13, 4, &product))
        return nullptr;
    std::string instance = path.substr(at + 17);
    if (!instance.empty() && (instance[0] == '#' || instance[0] == '\\'))
        instance = instance.substr(1, instance.find_first_of("#\\", 1) - 1);
    const UsbWalkedDevice* only = nullptr;
    int count = 0;
    for (const UsbWalkedDevice& d : devices) {
        if (d.vendor != vendor || d.product != product)
            continue;
        if (!d.serial.empty() && Lower(d.serial) == instance)
            return &d;
        only = &d;
        count++;
    }
    return count == 1 ? only : nullptr;
}
