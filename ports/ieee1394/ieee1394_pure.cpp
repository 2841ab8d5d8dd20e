#include "ports/ieee1394/ieee1394_pure.h"

#include <cstring>

int PortListFromNames(const char* names, size_t length, PortName* list) {
  int count = 0;
  size_t at = 0;
  while (at < length && names[at] && count < PORT_LIST_CAP) {
    const char* name = names + at;
    size_t n = strnlen(name, length - at);
    if (n == 4 && memcmp(name, "LPT", 3) == 0 && name[3] != '1') {
      memcpy(list[count], name, 4);
      list[count++][4] = 0;
    }
    at += n + 1;
  }
  return count;
}

int ZeroFilter(unsigned char* bytes, int length) {
  int kept = 0;
  for (int i = 0; i < length; i++)
    if (bytes[i]) bytes[kept++] = bytes[i];
  return kept;
}
