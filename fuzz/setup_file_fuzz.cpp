#include "fuzz.h"

#include "ports/ieee1284/setup_file.h"

// Whatever the file holds, what goes to the service and registry calls is bounded and
// the dependency list is terminated.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = Text(data, size);
  ServiceSetup s;
  ReadAddServices(text, &s);
  if (s.dependencies.size() < 2 || s.dependencies.size() > 257 || s.dependencies.compare(s.dependencies.size() - 2, 2, std::string(2, '\0')) != 0)
    std::abort();
  if (s.binaryPathName.size() > 511 || s.loadOrderGroup.size() > 127 || s.displayName.empty() || s.displayName.size() > 255)
    std::abort();
  std::vector<RegEntry> entries;
  ReadAddReg(text, &entries);
  size_t listed = 1;
  for (const RegEntry& e : entries) {
    listed += e.subKey.size() + e.valueName.size() + 4;
    if (e.type == 1 ? e.data.empty() || e.data.size() > ADDREG_VALUE_SIZE || e.data.back() != '\0' : e.data.size() != 4)
      std::abort();
  }
  if (listed > ADDREG_LIST_SIZE) std::abort();
  return 0;
}
