#include "sim/usb_tree.h"

#include <algorithm>
#include <cstdio>

#include "services/mib_codec.h"
#include "services/usb_walk.h"
#include "services/vendor_request.h"

namespace {

const uint32_t kHcdDriverKeyName = IOCTL_GET_HCD_DRIVERKEY_NAME;
const uint32_t kRootHubNameOrNodeInfo = IOCTL_USB_GET_ROOT_HUB_NAME;
const uint32_t kConnectionInfo = IOCTL_USB_GET_NODE_CONNECTION_INFORMATION;
const uint32_t kConnectionName = IOCTL_USB_GET_NODE_CONNECTION_NAME;
const uint32_t kConnectionDriverKey = IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME;
const uint32_t kDescriptor = IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION;
const uint32_t kVendorSet = IOCTL_USBPRINT_VENDOR_SET_COMMAND;
const uint32_t kVendorGet = IOCTL_USBPRINT_VENDOR_GET_COMMAND;
const uint32_t kGenFailure = 31;
const uint16_t kMaker = MAKER_VENDOR_ID;
const char kHubClass[] = "#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";

void Le(std::string& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; i++) s += char(v >> (8 * i));
}

void Be(std::string& s, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; i--) s += char(v >> (8 * i));
}

uint32_t ReadLe(const std::string& s, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; i--) v = v << 8 | (unsigned char)s[at + i];
  return v;
}

uint32_t ReadBe(const std::string& s, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; i++) v = v << 8 | (unsigned char)s[at + i];
  return v;
}

std::string DeviceDescriptor(uint16_t usb, uint8_t cls, uint16_t vendor, uint16_t product, uint16_t release,
                             uint8_t packet, int strings) {
  std::string d = {18, 1};
  Le(d, usb, 2);
  d += {char(cls), 0, 0, char(packet)};
  Le(d, vendor, 2);
  Le(d, product, 2);
  Le(d, release, 2);
  d += strings ? std::string{1, 2, 3, 1} : std::string{0, 0, 0, 1};
  return d;
}

std::string Endpoint(uint8_t address, uint8_t attributes, uint16_t packet, uint8_t interval) {
  std::string e = {7, 5, char(address), char(attributes)};
  Le(e, packet, 2);
  e += char(interval);
  return e;
}

std::string Configuration(const std::string& rest, uint8_t interfaces, uint8_t attributes, uint8_t power,
                          uint8_t name) {
  std::string c = {9, 2};
  Le(c, uint32_t(9 + rest.size()), 2);
  c += {char(interfaces), 1, char(name), char(attributes), char(power)};
  return c + rest;
}

std::string Interface(uint8_t number, uint8_t endpoints, uint8_t cls, uint8_t sub, uint8_t protocol, uint8_t name) {
  return {9, 4, char(number), 0, char(endpoints), char(cls), char(sub), char(protocol), char(name)};
}

std::string StringDescriptor(const std::u16string& text) {
  std::string d = {char(2 + 2 * text.size()), 3};
  for (char16_t c : text) Le(d, c, 2);
  return d;
}

uint32_t StringKey(uint8_t index, uint16_t language) { return uint32_t(index) << 16 | language; }

UsbTreeDevice Printer(const char* key, const char* description, uint16_t usb, uint16_t product,
                      uint16_t release, const char16_t* serial, int japanese) {
  UsbTreeDevice d;
  d.driverKey = key;
  d.description = description;
  d.descriptor = DeviceDescriptor(usb, 0, kMaker, product, release, 64, 1);
  d.pipes = Endpoint(0x01, 2, usb >= 0x0200 ? 512 : 64, 0) + Endpoint(0x82, 2, usb >= 0x0200 ? 512 : 64, 0);
  d.configuration = Configuration(Interface(0, 2, 7, 1, 2, 5) + d.pipes, 1, 0xC0, 0x01, 4);
  std::u16string languages = japanese ? u"\u0409\u0411" : u"\u0409";
  d.strings[StringKey(0, 0)] = StringDescriptor(languages);
  d.strings[StringKey(1, 0x0409)] = StringDescriptor(u"Velmora");
  d.strings[StringKey(2, 0x0409)] = StringDescriptor(u"Tarvex Sim Printer");
  d.strings[StringKey(3, 0x0409)] = StringDescriptor(serial);
  d.strings[StringKey(4, 0x0409)] = StringDescriptor(u"Default Configuration");
  d.strings[StringKey(5, 0x0409)] = StringDescriptor(u"Printer Interface");
  if (japanese) {
    d.strings[StringKey(1, 0x0411)] = StringDescriptor(u"\u30F4\u30A7\u30EB\u30E2\u30E9");
    d.strings[StringKey(2, 0x0411)] = StringDescriptor(u"\u30D7\u30EA\u30F3\u30BF");
    d.strings[StringKey(3, 0x0411)] = StringDescriptor(serial);
  }
  return d;
}

UsbTreeDevice Mouse() {
  UsbTreeDevice d;
  d.driverKey = "{745a17a0-74d3-11d0-b6fe-00a0c90f57da}\\0003";
  d.description = "USB Human Interface Device";
  d.descriptor = DeviceDescriptor(0x0110, 0, 0x046D, 0xC016, 0x0340, 8, 0);
  d.lowSpeed = 1;
  d.pipes = Endpoint(0x81, 3, 4, 10);
  std::string hid = {9, 0x21, 0x10, 0x01, 0, 1, 0x22, 52, 0};
  d.configuration = Configuration(Interface(0, 1, 3, 1, 2, 0) + hid + d.pipes, 1, 0xA0, 50, 0);
  return d;
}

UsbTreeDevice Hub(int hub) {
  UsbTreeDevice d;
  d.driverKey = "{36FC9E60-C465-11CF-8056-444553540000}\\0004";
  d.description = "Generic USB Hub";
  d.descriptor = DeviceDescriptor(0x0200, 9, 0x0424, 0x2514, 0x0B3E, 64, 0);
  d.pipes = Endpoint(0x81, 3, 1, 12);
  d.configuration = Configuration(Interface(0, 1, 9, 0, 0, 0) + d.pipes, 1, 0xE0, 0x32, 0);
  d.hub = hub;
  return d;
}

std::string HubNode(uint8_t ports, uint16_t characteristics, int busPowered) {
  std::string n(4, 0);  // node type UsbHub
  n += {9, 0x29, char(ports)};
  Le(n, characteristics, 2);
  n += {50, 100};
  n.resize(75, 0);
  n += char(busPowered);
  return n;
}

// Devices of the maker that lie about their lengths.
void AddHostile(UsbTreeHub& root, UsbTreeHub& external) {
  UsbTreeDevice lying = Printer("{36FC9E60-C465-11CF-8056-444553540000}\\0010", "Lying Printer", 0x0200, 0x0666,
                                0x0300, u"BAD1", 0);
  lying.quirks = QUIRK_ZERO_LENGTH | QUIRK_BAD_STRINGS | QUIRK_MANY_PIPES;
  std::string vendor = {4, 0x24, 1, 0};
  lying.configuration = Configuration(Interface(0, 2, 7, 1, 2, 5) + vendor + std::string(3, 0) + lying.pipes,
                                      1, 0x80, 0xFA, 4);
  root.ports[2] = lying;
  UsbTreeDevice overlong = Printer("{36FC9E60-C465-11CF-8056-444553540000}\\0011", "Overlong Printer", 0x0110,
                                   0x0667, 0x0100, u"BAD2", 0);
  overlong.quirks = QUIRK_OVERLONG;
  overlong.configuration = Configuration(Interface(0, 1, 7, 1, 1, 0) + Endpoint(0x01, 2, 64, 0) + "\x09\x05\x02", 1,
                                         0x00, 0x01, 0);
  root.ports[3] = overlong;
  UsbTreeDevice shortConfig = overlong;
  shortConfig.driverKey = "{36FC9E60-C465-11CF-8056-444553540000}\\0012";
  shortConfig.description = "Short Printer";
  shortConfig.quirks = QUIRK_SHORT_CONFIG;
  external.ports[2] = shortConfig;
  UsbTreeDevice changing = shortConfig;
  changing.driverKey = "{36FC9E60-C465-11CF-8056-444553540000}\\0013";
  changing.description = "Changing Printer";
  changing.quirks = QUIRK_TOTAL_CHANGES;
  external.ports[3] = changing;
  UsbTreeDevice named = shortConfig;
  named.driverKey = "{36FC9E60-C465-11CF-8056-444553540000}\\0014";
  named.quirks = QUIRK_HUGE_NAMES;
  external.ports.push_back(named);
  external.node[6] = char(external.ports.size() + 250);  // ports beyond the last do not answer
}

std::string Utf16Name(const std::string& name) {
  std::string s;
  for (char c : name) Le(s, (unsigned char)c, 2);
  Le(s, 0, 2);
  return s;
}

// A name answer: the header (with the length at lengthAt), then as much of the name as fits.
ControlAnswer NameAnswer(const ControlRequest& r, const std::string& name, uint32_t header, int huge) {
  if (r.in.size() < header || r.outLength < header) return ControlFailure(kGenFailure);
  std::string out = r.in.substr(0, header - 6);  // the port number of a port request
  uint32_t actual = uint32_t(header - 2 + name.size() * 2 + 2);
  Le(out, huge ? 0x7FFFFFFF : actual, 4);
  out += Utf16Name(name);
  out.resize(std::min<size_t>(out.size(), r.outLength));
  ControlAnswer a;
  a.success = 1;
  a.out = out;
  return a;
}

const UsbTreeDevice* PortDevice(const UsbTreeHub& hub, const ControlRequest& r) {
  if (r.in.size() < 4) return nullptr;
  uint32_t port = ReadLe(r.in, 0, 4);
  if (port < 1 || port > hub.ports.size()) return nullptr;
  return &hub.ports[port - 1];
}

ControlAnswer Success(const std::string& out, uint32_t limit) {
  ControlAnswer a;
  a.success = 1;
  a.out = out.substr(0, limit);
  return a;
}

ControlAnswer ConnectionAnswer(const ControlRequest& r, const UsbTreeDevice& d) {
  std::string out = r.in.substr(0, 4);
  int connected = d.status != 0;
  out += connected ? d.descriptor : std::string(18, 0);
  out += {char(connected), char(d.lowSpeed), char(d.hub >= 0)};
  Le(out, connected ? uint32_t(ReadLe(r.in, 0, 4) + 1) : 0, 2);
  uint32_t pipes = uint32_t(d.pipes.size() / 7);
  Le(out, d.quirks & QUIRK_MANY_PIPES ? 1000 : pipes, 4);
  Le(out, uint32_t(d.status), 4);
  std::string list = d.pipes;
  if (d.quirks & QUIRK_MANY_PIPES)
    while (list.size() < 7 * 40) list += d.pipes;
  for (size_t i = 0; i + 7 <= list.size(); i += 7) out += list.substr(i, 7) + std::string(4, 0);
  return Success(out, r.outLength);
}

ControlAnswer DescriptorAnswer(const ControlRequest& r, const UsbTreeDevice& d) {
  if (r.in.size() < 12 || d.status != 1) return ControlFailure(kGenFailure);
  uint16_t value = uint16_t(ReadLe(r.in, 6, 2)), language = uint16_t(ReadLe(r.in, 8, 2));
  uint16_t length = uint16_t(ReadLe(r.in, 10, 2));
  std::string descriptor;
  if (value == 0x0200) {
    descriptor = d.configuration;
    if (d.quirks & QUIRK_SHORT_CONFIG) descriptor.resize(descriptor.size() - 1);
    if ((d.quirks & QUIRK_TOTAL_CHANGES) && length > 9) descriptor[2] = char(descriptor[2] + 1);
  } else if ((value >> 8) == 3) {
    auto it = d.strings.find(StringKey(uint8_t(value), language));
    if (it == d.strings.end()) return ControlFailure(kGenFailure);
    descriptor = it->second;
    if (d.quirks & QUIRK_BAD_STRINGS) descriptor[0] = char(descriptor[0] + (value & 1 ? 1 : 2));
  } else {
    return ControlFailure(kGenFailure);
  }
  std::string out = r.in.substr(0, 12) + descriptor.substr(0, length);
  return Success(out, r.outLength);
}

ControlAnswer HubAnswer(UsbTree& tree, const UsbTreeHub& hub, const ControlRequest& r) {
  if (r.code == kRootHubNameOrNodeInfo) return Success(hub.node, r.outLength);
  const UsbTreeDevice* d = PortDevice(hub, r);
  if (!d) return ControlFailure(kGenFailure);
  switch (r.code) {
    case kConnectionInfo:
      return ConnectionAnswer(r, *d);
    case kConnectionDriverKey:
      if (d->status == 0) return ControlFailure(kGenFailure);
      return NameAnswer(r, d->driverKey, 10, d->quirks & QUIRK_HUGE_NAMES);
    case kConnectionName:
      if (d->hub < 0) return ControlFailure(kGenFailure);
      return NameAnswer(r, tree.hubs[d->hub].name, 10, 0);
    case kDescriptor:
      return DescriptorAnswer(r, *d);
  }
  return ControlFailure(1);
}

// MIB requests and answers ------------------------------------------------------------

std::string MibAnswerBytes(const std::string& community, const std::string& oid, int status, const MibObject* o) {
  std::string a;
  Be(a, uint32_t(community.size()), 4);
  a += community;
  Be(a, 1, 4);
  Be(a, uint32_t(oid.size() / 2), 2);
  a += oid;
  Be(a, uint32_t(status), 4);
  if (!o) {
    Be(a, 5, 4);
    return a;
  }
  Be(a, uint32_t(o->tag), 4);
  return a + o->value;
}

const std::string kCyclePrefix = MibCycleOid(0).substr(0, 22);

MibObject* FindObject(UsbVendorState& s, const std::string& oid, MibObject* cycle) {
  for (MibObject& o : s.objects)
    if (o.oid == oid) return &o;
  if (oid.size() == 24 && oid.compare(0, 22, kCyclePrefix) == 0) {
    int n = (unsigned char)oid[23];
    std::string text = "Velmora tray " + std::to_string(n) + " ready";
    cycle->oid = oid;
    cycle->tag = 4;
    cycle->value.clear();
    Be(cycle->value, uint32_t(text.size()), 4);
    cycle->value += text;
    cycle->writable = 0;
    return cycle;
  }
  return nullptr;
}

// The SET value as the request carries it, stored the way the object answers it.
int StoreValue(MibObject& o, int tag, const std::string& v) {
  if (tag != o.tag) return 0;
  if (tag == 2) {
    if (v.size() != 4) return 0;
    o.value = v;
  } else if (tag == 4) {
    unsigned length = 0;
    if (v.size() < 4 || std::sscanf(v.substr(0, 4).c_str(), "%4x", &length) != 1 || length != v.size() - 4)
      return 0;
    o.value.clear();
    Be(o.value, length, 4);
    o.value += v.substr(4);
  } else {
    o.value = v;
  }
  return 1;
}

std::string MibExchange(UsbVendorState& s, const std::string& r) {
  const std::string error = "ERROR: request not understood";
  size_t at = 3;
  if (r.size() < at + 6) return error;
  uint32_t command = ReadBe(r, at, 2), n = ReadBe(r, at + 2, 4);
  at += 6;
  if (n < 1 || n > 256 || r.size() < at + n + 6) return error;
  std::string community = r.substr(at, n);
  at += n + 4;
  uint32_t words = ReadBe(r, at, 2);
  at += 2;
  if (words < 1 || words > 1500 || r.size() < at + 2 * words) return error;
  std::string oid = r.substr(at, 2 * words);
  at += 2 * words;
  if (community != MIB_CYCLE_COMMUNITY) return "ERROR: unknown community";
  MibObject cycle;
  if (command == 1) {
    MibObject* o = FindObject(s, oid, &cycle);
    return MibAnswerBytes(community, oid, o ? 0 : 2, o);
  }
  if (command == 2) {
    for (MibObject& o : s.objects)
      if (o.oid > oid) return MibAnswerBytes(community, o.oid, 0, &o);
    return MibAnswerBytes(community, oid, 2, nullptr);
  }
  if (command != 3 || r.size() < at + 4) return error;
  MibObject* o = FindObject(s, oid, &cycle);
  if (!o) return MibAnswerBytes(community, oid, 2, nullptr);
  if (!o->writable) return MibAnswerBytes(community, oid, 4, o);
  if (!StoreValue(*o, int(ReadBe(r, at, 4)), r.substr(at + 4))) return MibAnswerBytes(community, oid, 3, o);
  return MibAnswerBytes(community, oid, 0, o);
}

std::string OidBytes(std::initializer_list<uint16_t> words) {
  std::string s;
  for (uint16_t w : words) Be(s, w, 2);
  return s;
}

}  // namespace

void UsbTreeBuild(UsbTree* tree, int hostile) {
  *tree = UsbTree();
  const std::string root = std::string("USB#ROOT_HUB20#4&2a1f3c5&0") + kHubClass;
  const std::string external = std::string("USB#VID_0424&PID_2514#5&1c2d3e4&0&2") + kHubClass;
  tree->controllers.push_back({"{36FC9E60-C465-11CF-8056-444553540000}\\0000",
                               "Simulated USB2 Enhanced Host Controller", 0});
  tree->controllers.push_back({"{36FC9E60-C465-11CF-8056-444553540000}\\0001", "", -1});
  UsbTreeHub rootHub = {root, HubNode(4, 0x0009, 0), std::vector<UsbTreeDevice>(4)};
  UsbTreeHub externalHub = {external, HubNode(4, 0x0000, 1), std::vector<UsbTreeDevice>(4)};
  rootHub.ports[0] = Printer("{36FC9E60-C465-11CF-8056-444553540000}\\0005", "Tarvex Sim HS Printer", 0x0200,
                             0x0001, 0x0200, u"TARVEXSIM0001", 1);
  rootHub.ports[1] = Hub(1);
  externalHub.ports[0] = Printer("{36FC9E60-C465-11CF-8056-444553540000}\\0006", "Tarvex Sim FS Printer", 0x0110,
                                 0x0002, 0x0100, u"TARVEXSIM0002", 0);
  externalHub.ports[1] = Mouse();
  for (UsbTreeHub* h : {&rootHub, &externalHub})
    for (UsbTreeDevice& d : h->ports)
      if (d.descriptor.empty()) d.status = 0;
  if (hostile) AddHostile(rootHub, externalHub);
  tree->hubs = {rootHub, externalHub};
  for (size_t i = 0; i < tree->controllers.size(); i++) tree->nodes.push_back({tree, int(i), -1});
  for (size_t i = 0; i < tree->hubs.size(); i++) tree->nodes.push_back({tree, -1, int(i)});
}

std::vector<UsbTreeName> UsbTreeNames(UsbTree& tree) {
  std::vector<UsbTreeName> names;
  for (UsbTreeNode& n : tree.nodes)
    names.push_back({n.hub < 0 ? "HCD" + std::to_string(n.controller) : tree.hubs[n.hub].name, &n});
  return names;
}

std::vector<UsbTreeDevNode> UsbTreeDevNodes(const UsbTree& tree) {
  std::vector<UsbTreeDevNode> nodes;
  for (const UsbTreeController& c : tree.controllers) {
    if (c.description.empty()) continue;
    nodes.push_back({c.driverKey, c.description, ""});
  }
  for (const UsbTreeHub& h : tree.hubs)
    for (const UsbTreeDevice& d : h.ports)
      if (d.status != 0) nodes.push_back({d.driverKey, d.description, ""});
  return nodes;
}

ControlAnswer UsbTreeAnswer(void* state, const ControlRequest& r) {
  UsbTreeNode& node = *static_cast<UsbTreeNode*>(state);
  UsbTree& tree = *node.tree;
  if (node.hub >= 0) return HubAnswer(tree, tree.hubs[node.hub], r);
  const UsbTreeController& c = tree.controllers[node.controller];
  if (r.code == kHcdDriverKeyName) return NameAnswer(r, c.driverKey, 6, 0);
  if (r.code == kRootHubNameOrNodeInfo && c.rootHub >= 0) return NameAnswer(r, tree.hubs[c.rootHub].name, 6, 0);
  return ControlFailure(kGenFailure);
}

std::string MibCycleOid(int n) {
  return OidBytes({0x0004, 0x0001, MIB_ENTERPRISE_NUMBER, 0x0001, 0x0003, 0x0001, 0x0001, 0x0008, 0x0003, 0x0001,
                   0x0002, uint16_t(n)});
}

void UsbVendorInit(UsbVendorState* s) {
  *s = UsbVendorState();
  std::string name = "Tarvex Sim Printer";
  MibObject description = {OidBytes({0x0001, 0x0003, 0x0006, 0x0001, 0x0002, 0x0001, 0x0001, 0x0001}), 4, "", 0};
  Be(description.value, uint32_t(name.size()), 4);
  description.value += name;
  MibObject contact = {OidBytes({0x0001, 0x0003, 0x0006, 0x0001, 0x0002, 0x0001, 0x0001, 0x0004}), 4, "", 1};
  Be(contact.value, 5, 4);
  contact.value += "admin";
  MibObject copies = {OidBytes({0x0001, 0x0003, 0x0006, 0x0001, 0x0002, 0x0001, 0x0002, 0x0001}), 2, "0001", 1};
  MibObject object = {OidBytes({0x0001, 0x0003, 0x0006, 0x0001, 0x0002, 0x0001, 0x0003, 0x0001}), 6,
                      OidBytes({0x0002, 0x0001, 0x0002}), 1};
  s->objects = {description, contact, copies, object};
}

int UsbVendorAnswer(UsbVendorState& s, const ControlRequest& r, int jobInProgress, ControlAnswer* answer) {
  if (r.in.empty() || (r.code != kVendorSet && r.code != kVendorGet)) return 0;
  unsigned char kind = (unsigned char)r.in[0];
  int set = r.code == kVendorSet;
  if (!(set && (kind == 6 || kind == 2)) && !(!set && (kind == 4 || kind == 5))) return 0;
  if (s.failWith) {
    *answer = ControlFailure(uint32_t(s.failWith));
    return 1;
  }
  std::string out(4, 0);
  if (kind == 6 && r.in.size() >= 3) {
    s.offset = (unsigned char)r.in[2];
  } else if (kind == 2) {
    s.mibSets++;
    s.answer = MibExchange(s, r.in);
    if (s.malformedAnswers && s.answer.compare(0, 5, "ERROR") != 0) s.answer.resize(4 + 6 + 4 + 2 + 1);
  } else if (kind == 4) {
    s.mibGets++;
    out = s.answer.empty() ? "ERROR: no request" : s.answer;
  } else if (kind == 5) {
    s.jobEndQueries++;
    out = {char(jobInProgress ? 1 : 0), 0, 0};
  }
  *answer = Success(s.shortAnswers ? "" : out, r.outLength);
  return 1;
}
