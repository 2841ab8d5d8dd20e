#include "fuzz.h"

#include "ports/usb/device_id.h"

// Every field found points into the text at a terminated value that follows a colon.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back(0);
  char* begin = text.data();
  char* end = begin + size;
  DeviceIdFields f;
  ParseDeviceId(&f, begin);
  for (char* value : {f.manufacturer, f.model, f.cls, f.description, f.automaticId, f.compatibleId, f.commandSet}) {
    if (!value) continue;
    if (value <= begin || value > end || value[-1] != ':') std::abort();
    if (value + std::strlen(value) > end) std::abort();
  }
  return 0;
}
