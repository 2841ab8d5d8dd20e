// What the IEEE1394 driver decides without the platform: which device names are
// 1394 printers, and what of a read reaches the received-data sink.
#pragma once
#include <cstddef>

const int PORT_LIST_CAP = 10;
typedef char PortName[5];

// From the NUL-separated names the platform lists (`length` bytes), the names
// "LPT2" .. "LPT9" style: "LPT" plus one character, not "LPT1", in the listed order,
// at most PORT_LIST_CAP. Returns the count.
int PortListFromNames(const char* names, size_t length, PortName* list);

// Removes every 0x00 byte from what was read, the others keep their order; returns
// the count left to deliver.
int ZeroFilter(unsigned char* bytes, int length);
