#include "services/vendor_request.h"

#include <cstdlib>
#include <cstring>

std::string SetOffsetInput(int offset)
{
    return std::string("\x06\x00", 2) + static_cast<char>(offset);
}

std::string MibValueGetInput()
{
    return std::string("\x04\x00\x00\x00\x00\x00\x00", 7);
}

std::string JobEndInput()
{
    return std::string("\x05\x00\x00\x00\x00\x00\x00", 7);
}

int OffsetFromText(const char* text, int* offset)
{
    if (std::strlen(text) >= 4)
        return 0;
    long value = std::strtol(text, nullptr, 10);
    if (value < 1 || value > 255)
        return 0;
    *offset = static_cast<int>(value);
    return 1;
}

std::string VendorErrorText(int request, int code)
{
    static const char* const others[] = {"Set Offset Value Check Error = ", "Set Mibobject Id Error = ",
                                         "Get Mibobject Value Error = ", "GET_JOBEND Error = "};
    if (code == VENDOR_UNKNOWN_HANDLE)
        return "Error:Unkown.";
    if (code == VENDOR_FAILED)
        return "Error:Time out.";
    if (code == VENDOR_NOT_OPENED)
        return "Error:Port not opened.";
    return others[request] + std::to_string(code);
}

namespace {

int Exchange(const VendorChannel& channel, unsigned long code, const std::string& in, unsigned outLength,
             std::string* out)
{
    out->clear();
    if (!channel.request(channel.context, code, in, outLength, out))
        return VENDOR_FAILED;
    if (out->size() > outLength)
        out->resize(outLength);
    if (!out->empty() && channel.status)
        *channel.status = static_cast<unsigned char>((*out)[0]);
    return 0;
}

}  // namespace

int VendorSetOffset(const VendorChannel& channel, int offset)
{
    std::string answer;
    return Exchange(channel, IOCTL_USBPRINT_VENDOR_SET_COMMAND, SetOffsetInput(offset), 4, &answer);
}

int VendorMibSet(const VendorChannel& channel, const std::string& request)
{
    std::string answer;
    return Exchange(channel, IOCTL_USBPRINT_VENDOR_SET_COMMAND, request, 4, &answer);
}

int VendorMibGet(const VendorChannel& channel, unsigned size, std::string* answer)
{
    return Exchange(channel, IOCTL_USBPRINT_VENDOR_GET_COMMAND, MibValueGetInput(), size, answer);
}

int VendorJobEnd(const VendorChannel& channel, int* busy)
{
    std::string answer;
    *busy = 0;
    int code = Exchange(channel, IOCTL_USBPRINT_VENDOR_GET_COMMAND, JobEndInput(), 3, &answer);
    if (code == 0 && answer.empty())
        return VENDOR_FAILED;
    *busy = code == 0 && answer[0] == 1;
    return code;
}
