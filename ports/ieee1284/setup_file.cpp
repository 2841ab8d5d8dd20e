#include "ports/ieee1284/setup_file.h"

#include <cstring>

static bool SameName(const std::string& a, const char* b) {
  size_t n = strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; i++) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
  }
  return true;
}

static std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// One key=value line of a section; a line without '=' is a key without value.
struct ProfileLine {
  std::string key, value;
};

// The lines of the first section of that name, comments left out.
static std::vector<ProfileLine> SectionLines(const std::string& text, const char* section) {
  std::vector<ProfileLine> lines;
  bool inside = false, seen = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of(std::string("\r\n\0", 3), pos);
    if (end == std::string::npos) end = text.size();
    std::string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (inside) break;
      size_t close = line.find(']');
      inside = !seen && SameName(Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)), section);
      seen = seen || inside;
      continue;
    }
    if (!inside) continue;
    size_t eq = line.find('=');
    ProfileLine l;
    l.key = Trim(line.substr(0, eq));
    if (eq != std::string::npos) l.value = Trim(line.substr(eq + 1));
    if (l.value.size() >= 2 && (l.value[0] == '"' || l.value[0] == '\'') && l.value.back() == l.value[0])
      l.value = l.value.substr(1, l.value.size() - 2);
    lines.push_back(l);
  }
  return lines;
}

static std::string FirstValue(const std::vector<ProfileLine>& lines, const char* key, size_t size) {
  if (size == 0) return std::string();
  for (const ProfileLine& l : lines)
    if (SameName(l.key, key)) return l.value.substr(0, size - 1);
  return std::string();
}

std::string ProfileValue(const std::string& text, const char* section, const char* key, size_t size) {
  return FirstValue(SectionLines(text, section), key, size);
}

// As many key names as fit a NUL-separated list of `size` bytes with its final NUL.
static std::vector<std::string> KeysOf(const std::vector<ProfileLine>& lines, size_t size) {
  std::vector<std::string> keys;
  size_t used = 1;
  for (const ProfileLine& l : lines) {
    if (used + l.key.size() + 1 > size) break;
    used += l.key.size() + 1;
    keys.push_back(l.key);
  }
  return keys;
}

uint32_t SetupNumber(const std::string& text) {
  uint32_t n = 0;
  if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    for (size_t i = 2; i < text.size() && i < 10; i++) {
      unsigned char c = text[i];
      n = n * 16 + (c >= '0' && c <= '9' ? c - '0' : (c + 9) % 16);
    }
    return n;
  }
  for (size_t i = 0; i < text.size() && i < 10 && text[i] >= '0' && text[i] <= '9'; i++)
    n = n * 10 + (text[i] - '0');
  return n;
}

int SetupRootOf(const std::string& text) {
  static const char* const roots[] = {"HKLM", "HKCU", "HKCC", "HKUS", "HKCL"};
  for (int i = 0; i < 5; i++)
    if (SameName(text, roots[i])) return ROOT_HKLM + i;
  return ROOT_NONE;
}

uint32_t SetupTypeOf(const std::string& text) {
  static const struct {
    const char* name;
    uint32_t type;
  } types[] = {{"REG_DWORD", 4}, {"REG_SZ", 1}, {"REG_BINARY", 3}, {"REG_DWORD_LITTLE_ENDIAN", 4},
               {"REG_DWORD_BIG_ENDIAN", 5}, {"REG_EXPAND_SZ", 2}, {"REG_LINK", 6}, {"REG_MULTI_SZ", 7},
               {"REG_RESOURCE_LIST", 8}};
  for (const auto& t : types)
    if (SameName(text, t.name)) return t.type;
  return 0;
}

static uint32_t NumberOr(const std::string& text, uint32_t absent) {
  return text.empty() ? absent : SetupNumber(text);
}

void ReadAddServices(const std::string& text, ServiceSetup* setup) {
  auto value = [&](const char* key, size_t size) { return ProfileValue(text, "AddServices", key, size); };
  std::string tag = value("TagID", 512);
  setup->hasTag = !tag.empty();
  setup->tag = SetupNumber(tag);
  setup->serviceType = NumberOr(value("ServiceType", 512), 1);
  setup->startType = NumberOr(value("StartType", 512), 2);
  setup->errorControl = NumberOr(value("ErrorControl", 512), 1);
  // The list needs room for its two terminators beyond the longest text the key holds.
  setup->dependencies = value("Dependencies", 256);
  for (char& c : setup->dependencies)
    if (c == ',') c = '\0';
  setup->dependencies.append(2, '\0');
  setup->loadOrderGroup = value("LoadOrderGroup", 128);
  setup->binaryPathName = value("BinaryPathName", 512);
  setup->displayName = value("DisplayName", 256);
  if (setup->displayName.empty()) setup->displayName = "Kelvane";
}

int ReadAddReg(const std::string& text, std::vector<RegEntry>* entries) {
  std::vector<ProfileLine> lines = SectionLines(text, "AddReg");
  std::vector<std::string> keys = KeysOf(lines, ADDREG_LIST_SIZE);
  if (keys.empty()) return 0;
  for (const std::string& key : keys) {
    std::string value = FirstValue(lines, key.c_str(), ADDREG_VALUE_SIZE);
    if (value.empty()) continue;
    size_t c1 = key.find(','), c2 = c1 == std::string::npos ? c1 : key.find(',', c1 + 1);
    size_t c3 = c2 == std::string::npos ? c2 : key.find(',', c2 + 1);
    if (c3 == std::string::npos) return 0;
    RegEntry e;
    e.root = SetupRootOf(key.substr(0, c1));
    std::string type = key.substr(c1 + 1, c2 - c1 - 1);
    e.type = SetupTypeOf(type);
    e.subKey = key.substr(c2 + 1, c3 - c2 - 1);
    e.valueName = key.substr(c3 + 1);
    if (SameName(type, "REG_SZ")) {
      e.data = value + '\0';
    } else {
      uint32_t n = SetupNumber(value);
      for (int i = 0; i < 4; i++) e.data += (char)(n >> (8 * i) & 0xFF);
    }
    entries->push_back(e);
  }
  return 1;
}
