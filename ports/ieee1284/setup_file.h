// The parallel driver's setup file Kelvane.dat: an [AddServices] section that describes
// the service and an [AddReg] section whose keys name registry values to write. Read as
// the profile calls read it, with no platform in between.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The value of a key, cut to size - 1 characters; "" when the section or key is absent.
// Section and key names match without regard to letter case; blanks around names and
// values are dropped, and one pair of quotes around a value.
std::string ProfileValue(const std::string& text, const char* section, const char* key, size_t size);

// "0x.." is hexadecimal (up to 8 digits, any character counts), anything else decimal
// (up to 10 leading digits, modulo 2^32); no digits read as 0.
uint32_t SetupNumber(const std::string& text);

enum SetupRoot { ROOT_NONE, ROOT_HKLM, ROOT_HKCU, ROOT_HKCC, ROOT_HKUS, ROOT_HKCL };
int SetupRootOf(const std::string& text);
uint32_t SetupTypeOf(const std::string& text);  // the registry type number; 0 when unknown

struct ServiceSetup {
  int hasTag;
  uint32_t tag;
  uint32_t serviceType, startType, errorControl;
  std::string dependencies;  // names separated by NULs, the list ended by two NULs
  std::string loadOrderGroup, binaryPathName, displayName;
};
void ReadAddServices(const std::string& text, ServiceSetup* setup);

struct RegEntry {
  int root;  // SetupRoot
  uint32_t type;
  std::string subKey, valueName;
  std::string data;  // REG_SZ: the text and its NUL; every other type: a 4-byte number
};
// The [AddReg] keys in order, empty values skipped. 0 when the section lists no key or
// a key has fewer than four fields; the entries before that key are kept.
int ReadAddReg(const std::string& text, std::vector<RegEntry>* entries);

const size_t ADDREG_LIST_SIZE = 30720;
const size_t ADDREG_VALUE_SIZE = 256;
