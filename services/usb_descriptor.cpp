#include "services/usb_descriptor.h"

#include <cstdio>

namespace {

void Field(ReportLines& out, const char* label, const char* format, unsigned value)
{
    char text[96];
    std::snprintf(text, sizeof text, format, value);
    out.push_back(std::string(label) + text);
}

void Byte(ReportLines& out, const char* label, unsigned value)
{
    Field(out, label, "0x%02X", value);
}

void Word(ReportLines& out, const char* label, unsigned value)
{
    Field(out, label, "0x%04X", value);
}

void EndpointLines(const uint8_t* d, size_t length, ReportLines& out)
{
    static const char* const types[] = {
        "  - Transfer Type:     Control", "  - Transfer Type: Isochronous",
        "  - Transfer Type:        Bulk", "  - Transfer Type:   Interrupt"};
    unsigned packet = Le16(d + 4);
    out.push_back("  -Endpoint Descriptor:");
    Byte(out, "  - bEndpointAddress:     ", d[2]);
    out.push_back(types[d[3] & 3]);
    Field(out, "  - wMaxPacketSize:     ", "0x%04X", packet);
    out.back() += " (" + std::to_string(packet) + ")";
    if (length == 7) {
        Byte(out, "  - bInterval:            ", d[6]);
    } else {
        Word(out, "  - wInterval:          ", Le16(d + 6));
        Byte(out, "  - bSyncAddress:         ", d[8]);
    }
}

void ConfigurationLines(const uint8_t* d, const UsbStrings& strings, ReportLines& out)
{
    out.push_back("  -Configuration Descriptor:");
    Word(out, "  - wTotalLength:       ", Le16(d + 2));
    Byte(out, "  - bNumInterfaces:       ", d[4]);
    Byte(out, "  - bConfigurationValue:  ", d[5]);
    Byte(out, "  - iConfiguration:       ", d[6]);
    if (d[6])
        StringLines(d[6], strings, out);
    // The last bit that applies names the attributes; a byte with none of them says so.
    const char* text = "None";
    if (d[7] & 0x80)
        text = "Bus Powered ";
    if (d[7] & 0x40)
        text = "Self Powered ";
    if (d[7] & 0x20)
        text = "Remote Wakeup";
    Byte(out, "  - bmAttributes:         ", d[7]);
    out.back() += std::string(" (") + text + ")";
    Byte(out, "  - MaxPower:             ", d[8]);
    out.back() += " (" + std::to_string(d[8] * 2) + " Ma)";
}

void InterfaceLines(const uint8_t* d, size_t length, const UsbStrings& strings, ReportLines& out)
{
    out.push_back("  -Interface Descriptor:");
    Byte(out, "  - bInterfaceNumber:     ", d[2]);
    Byte(out, "  - bAlternateSetting:    ", d[3]);
    Byte(out, "  - bNumEndpoints:        ", d[4]);
    Byte(out, "  - bInterfaceClass:      ", d[5]);
    if (d[5] == 1)
        out.push_back("  -  (Audio)");
    else if (d[5] == 3)
        out.push_back("  -  (HID)");
    else if (d[5] == 9)
        out.push_back("  -  (Hub)");
    Byte(out, "  - bInterfaceSubClass:   ", d[6]);
    static const char* const audio[] = {"  -  (Audio Control)", "  -  (Audio Streaming)",
                                        "  -  (MIDI Streaming)"};
    if (d[5] == 1 && d[6] >= 1 && d[6] <= 3)
        out.push_back(audio[d[6] - 1]);
    Byte(out, "  - bInterfaceProtocol:   ", d[7]);
    Byte(out, "  - iInterface:           ", d[8]);
    if (d[8])
        StringLines(d[8], strings, out);
    if (length == 11)
        Word(out, "  - wNumClasses:        ", Le16(d + 9));
}

void HidLines(const uint8_t* d, size_t length, ReportLines& out)
{
    out.push_back("  -HID Descriptor:");
    Word(out, "  - bcdHID:             ", Le16(d + 2));
    Byte(out, "  - bCountryCode:         ", d[4]);
    Byte(out, "  - bNumDescriptors:      ", d[5]);
    for (size_t i = 0, at = 6; i < d[5] && at + 3 <= length; i++, at += 3) {
        Byte(out, "  - bDescriptorType:      ", d[at]);
        Word(out, "  - wDescriptorLength:  ", Le16(d + at + 1));
    }
}

void UnknownLines(const uint8_t* d, size_t length, ReportLines& out)
{
    out.push_back("  -Unknown Descriptor:");
    Byte(out, "  - bDescriptorType:      ", d[1]);
    Byte(out, "  - bLength:              ", d[0]);
    for (size_t i = 0; i < length; i++)
        Field(out, "", "%02X", d[i]);
}

// Calls visit(descriptor, length) for each whole descriptor of the set, in order;
// a descriptor that claims fewer than 2 or more than the remaining bytes ends the walk.
template <class Visit>
void EachDescriptor(const uint8_t* set, size_t length, Visit visit)
{
    size_t at = 0;
    while (length - at >= 3) {
        size_t size = set[at];
        if (size < 2 || size > length - at)
            return;
        if (!visit(set + at, size))
            return;
        at += size;
    }
}

}  // namespace

uint16_t Le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t Le32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::string ConnectionStatusName(uint32_t status)
{
    static const char* const names[] = {"NoDeviceConnected",       "DeviceConnected",
                                        "DeviceFailedEnumeration", "DeviceGeneralFailure",
                                        "DeviceCausedOvercurrent", "DeviceNotEnoughPower"};
    if (status < 6)
        return names[status];
    return "ConnectionStatus(" + std::to_string(status) + ")";
}

uint16_t ConnectionVendor(const uint8_t* record)
{
    return Le16(record + 12);
}

uint16_t ConnectionProduct(const uint8_t* record)
{
    return Le16(record + 14);
}

int ConnectionIsHub(const uint8_t* record)
{
    return record[24] != 0;
}

uint32_t ConnectionStatus(const uint8_t* record)
{
    return Le32(record + 31);
}

const char* SpeedText(const uint8_t* record)
{
    if (record[23])
        return "Speed = Low";
    return Le16(record + 6) < 0x0200 ? "Speed = Full(12Mbps)" : "Speed = High(480Mbps)";
}

int VendorCapable(const uint8_t* record)
{
    return Le16(record + 16) >= 0x0200;
}

void HubLines(const uint8_t* hub, ReportLines& out)
{
    static const char* const power[] = {
        "-Power switching:         Ganged", "-Power switching:         Individual",
        "-Power switching:         None", "-Power switching:         None"};
    static const char* const current[] = {
        "-Over-current Protection: Global", "-Over-current Protection: Individual",
        "-No Over-current Protection (Bus Power Only)", "-No Over-current Protection (Bus Power Only)"};
    unsigned characteristics = Le16(hub + 7);
    out.push_back(std::string("-Hub Power:               ") + (hub[75] ? "Bus Power" : "Self Power"));
    out.push_back("-Number of Ports:         " + std::to_string(hub[6]));
    out.push_back(power[characteristics & 3]);
    out.push_back(characteristics & 4 ? "-Compound device:         Yes" : "-Compound device:         No");
    out.push_back(current[(characteristics >> 3) & 3]);
}

void DeviceLines(const uint8_t* r, size_t length, const UsbStrings& strings, ReportLines& out)
{
    out.push_back("  -Device Descriptor:");
    Word(out, "  - bcdUSB:             ", Le16(r + 6));
    Byte(out, "  - bDeviceClass:         ", r[8]);
    Byte(out, "  - bDeviceSubClass:      ", r[9]);
    Byte(out, "  - bDeviceProtocol:      ", r[10]);
    Byte(out, "  - bMaxPacketSize0:      ", r[11]);
    out.back() += " (" + std::to_string(r[11]) + ")";
    Word(out, "  - idVendor:           ", Le16(r + 12));
    Word(out, "  - idProduct:          ", Le16(r + 14));
    Word(out, "  - bcdDevice:          ", Le16(r + 16));
    static const char* const labels[] = {"  - iManufacturer:        ", "  - iProduct:             ",
                                         "  - iSerialNumber:        "};
    for (int i = 0; i < 3; i++) {
        Byte(out, labels[i], r[18 + i]);
        if (r[18 + i])
            StringLines(r[18 + i], strings, out);
    }
    Byte(out, "  - bNumConfigurations:   ", r[21]);
    out.push_back("  -ConnectionStatus: " + ConnectionStatusName(ConnectionStatus(r)));
    Byte(out, "  - Current Config Value: ", r[22]);
    if (r[23])
        out.push_back("  - Device Bus Speed:      Low");
    else
        out.push_back(Le16(r + 6) < 0x0200 ? "  - Device Bus Speed:     Full" : "  - Device Bus Speed:     High");
    Byte(out, "  - Device Address:       ", Le16(r + 25));
    uint32_t pipes = Le32(r + 27);
    Field(out, "  - Open Pipes:             ", "%2u", pipes);
    size_t fit = length > USB_CONNECTION_HEADER_SIZE ? (length - USB_CONNECTION_HEADER_SIZE) / 11 : 0;
    for (size_t i = 0; i < pipes && i < fit; i++)
        EndpointLines(r + USB_CONNECTION_HEADER_SIZE + 11 * i, 7, out);
}

void ConfigurationWalk(const uint8_t* set, size_t length, const UsbStrings& strings, ReportLines& out)
{
    EachDescriptor(set, length, [&](const uint8_t* d, size_t size) {
        if (d[1] == 2 && size == 9)
            ConfigurationLines(d, strings, out);
        else if (d[1] == 4 && (size == 9 || size == 11))
            InterfaceLines(d, size, strings, out);
        else if (d[1] == 5 && (size == 7 || size == 9))
            EndpointLines(d, size, out);
        else if (d[1] == 0x21 && size >= 9)
            HidLines(d, size, out);
        else
            UnknownLines(d, size, out);
        return true;
    });
}

void StringLines(uint8_t index, const UsbStrings& strings, ReportLines& out)
{
    char language[8];
    for (const UsbString& s : strings) {
        if (s.index != index)
            continue;
        std::snprintf(language, sizeof language, "%04X", s.language);
        out.push_back("  - 0x" + std::string(language) + ": " + s.text);
    }
}

std::vector<uint8_t> StringIndices(const uint8_t* record, const uint8_t* set, size_t length)
{
    std::vector<uint8_t> indices;
    auto add = [&](uint8_t index) {
        for (uint8_t known : indices)
            if (known == index)
                return;
        if (index)
            indices.push_back(index);
    };
    for (int i = 18; i <= 20; i++)
        add(record[i]);
    EachDescriptor(set, length, [&](const uint8_t* d, size_t size) {
        if (d[1] == 2) {
            if (size != 9)
                return false;
            add(d[6]);
        } else if (d[1] == 4) {
            if (size != 9 && size != 11)
                return false;
            add(d[8]);
        }
        return true;
    });
    return indices;
}
