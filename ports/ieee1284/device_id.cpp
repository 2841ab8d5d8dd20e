#include "ports/ieee1284/device_id.h"

#include <cstring>

std::vector<std::string> DeviceIdLines(const char* id, size_t length) {
  std::vector<std::string> lines;
  const char* nul = static_cast<const char*>(memchr(id, '\0', length));
  std::string text(id, nul ? nul - id : length);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    size_t colon = text.find(':', start);
    if (colon < end) lines.push_back(text.substr(start, colon - start) + " = " + text.substr(colon + 1, end - colon - 1));
    start = end + 1;
  }
  return lines;
}
