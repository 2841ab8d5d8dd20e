#pragma once
// The four vendor requests' payloads and the texts their outcomes are reported with.

#include <string>

const unsigned long IOCTL_USBPRINT_VENDOR_SET_COMMAND = 0x00220038;
const unsigned long IOCTL_USBPRINT_VENDOR_GET_COMMAND = 0x0022003C;

enum VendorRequest { VENDOR_SET_OFFSET, VENDOR_MIB_SET, VENDOR_MIB_GET, VENDOR_JOB_END };

// Result codes of the record-level requests, and of a command without an open printer.
const int VENDOR_UNKNOWN_HANDLE = -103;
const int VENDOR_FAILED = -172;
const int VENDOR_NOT_OPENED = 6;

std::string SetOffsetInput(int offset);  // 06 00 offset
std::string MibValueGetInput();          // 04 00 00 00 00 00 00
std::string JobEndInput();               // 05 00 00 00 00 00 00

// The SET_OFFSET dialog's text: 1 with the offset when it names 1 to 255 in fewer than 4 characters.
int OffsetFromText(const char* text, int* offset);

// The line a failed request is reported with.
std::string VendorErrorText(int request, int code);

// The printer's control handle, as the requests see it.
struct VendorChannel {
    void* context;
    // One request: 1 with the bytes the printer returned (never more than outLength), 0 when it failed.
    int (*request)(void* context, unsigned long code, const std::string& in, unsigned outLength, std::string* out);
    unsigned char* status;  // the record's status byte, set from the first byte of an answer; may be null
};

// The record-level requests: 0, or VENDOR_FAILED. Only the bytes the printer returned are read:
// a job-end answer without its job state byte is a failure.
int VendorSetOffset(const VendorChannel& channel, int offset);
int VendorMibSet(const VendorChannel& channel, const std::string& request);  // request starts 02 00 00
int VendorMibGet(const VendorChannel& channel, unsigned size, std::string* answer);
int VendorJobEnd(const VendorChannel& channel, int* busy);
