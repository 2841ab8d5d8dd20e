#include "sim/bus.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "sim/control.h"
#include "sim/device_host.h"
#include "sim/usb_printer.h"

namespace {

const char kPortKeys[] = "Software\\Tarvex Simulator\\Ports";
const char kSpoolerPorts[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kMark[] = "tarvex-sim";  // the data of every port entry the simulator lists

CRITICAL_SECTION lock;
SimDevice* bus;
std::vector<BusNode> nodes;
uint32_t lastId;

struct Held {
  Held() { EnterCriticalSection(&lock); }
  ~Held() { LeaveCriticalSection(&lock); }
};

ControlAnswer BusControl(void*, const ControlRequest& r) {
  if (r.code != kBusList) return ControlFailure(ERROR_INVALID_FUNCTION);
  ControlAnswer a;
  Held held;
  a.out = BusEncode(nodes);
  a.success = 1;
  return a;
}

std::string PortName(uint32_t number) {
  char name[16];
  std::snprintf(name, sizeof name, "USB%03u", unsigned(number % 1000));
  return name;
}

void AddPort(const BusNode& b) {
  HKEY k;
  DWORD value = b.portNumber;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, b.portKey.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &k, NULL) == ERROR_SUCCESS) {
    RegSetValueExA(k, "Port Number", 0, REG_DWORD, (const BYTE*)&value, sizeof value);
    RegCloseKey(k);
  }
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSpoolerPorts, 0, KEY_WRITE, &k) == ERROR_SUCCESS) {
    RegSetValueExA(k, PortName(b.portNumber).c_str(), 0, REG_SZ, (const BYTE*)kMark, sizeof kMark);
    RegCloseKey(k);
  }
}

void RemovePort(const BusNode& b) {
  HKEY k;
  RegDeleteKeyA(HKEY_CURRENT_USER, b.portKey.c_str());
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSpoolerPorts, 0, KEY_WRITE, &k) == ERROR_SUCCESS) {
    RegDeleteValueA(k, PortName(b.portNumber).c_str());
    RegCloseKey(k);
  }
}

// Port entries and keys a simulator that died may have left.
void RemoveStale() {
  HKEY k;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSpoolerPorts, 0, KEY_READ | KEY_WRITE, &k) == ERROR_SUCCESS) {
    for (DWORD i = 0;;) {
      char name[256], data[64];
      DWORD nameLength = sizeof name, dataLength = sizeof data, type;
      LONG e = RegEnumValueA(k, i, name, &nameLength, NULL, &type, (BYTE*)data, &dataLength);
      if (e == ERROR_NO_MORE_ITEMS) break;
      if (e == ERROR_SUCCESS && type == REG_SZ && dataLength == sizeof kMark && !memcmp(data, kMark, sizeof kMark))
        RegDeleteValueA(k, name);
      else
        i++;
    }
    RegCloseKey(k);
  }
  for (int i = 0; i < 256; i++) {
    char sub[256];
    DWORD n = sizeof sub;
    HKEY ports;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPortKeys, 0, KEY_READ, &ports) != ERROR_SUCCESS) break;
    LONG e = RegEnumKeyExA(ports, 0, sub, &n, NULL, NULL, NULL, NULL);
    RegCloseKey(ports);
    if (e != ERROR_SUCCESS) break;
    RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kPortKeys) + "\\" + sub).c_str());
  }
}

}  // namespace

int SimBusStart() {
  static int ready = (InitializeCriticalSection(&lock), 1);
  (void)ready;
  if (bus) return 1;
  RemoveStale();
  SimDeviceSetup s;
  s.name = SIM_BUS_NAME;
  s.pipes = kSimPipeNone;
  s.control = BusControl;
  bus = SimDeviceStart(s);
  return bus != NULL;
}

void SimBusStop() {
  if (!bus) return;
  SimDeviceStop(bus);
  bus = NULL;
  for (const BusNode& b : nodes)
    if (!b.interfacePath.empty()) RemovePort(b);
  nodes.clear();
}

int SimBusAdd(const SimBusNodeSetup& n) {
  if (!bus) return 0;
  Held held;
  if (nodes.size() >= kBusMaxNodes) return 0;
  BusNode b;
  b.id = ++lastId;
  b.parent = n.parent;
  b.driverKey = n.driverKey.substr(0, kBusMaxText);
  b.description = n.description.substr(0, kBusMaxText);
  if (!n.device.empty()) {
    b.interfacePath = SimDevicePath(n.device).substr(0, kBusMaxText);
    b.portNumber = n.portNumber;
    b.portKey = std::string(kPortKeys) + "\\" + n.device.substr(0, 200);
    AddPort(b);
  }
  nodes.push_back(b);
  return int(b.id);
}

void SimBusRemove(int id) {
  Held held;
  std::vector<uint32_t> gone(1, uint32_t(id));
  for (size_t i = 0; i < gone.size(); i++)
    for (const BusNode& b : nodes)
      if (b.parent == gone[i]) gone.push_back(b.id);
  for (uint32_t g : gone)
    for (size_t i = 0; i < nodes.size(); i++)
      if (nodes[i].id == g) {
        if (!nodes[i].interfacePath.empty()) RemovePort(nodes[i]);
        nodes.erase(nodes.begin() + i);
        break;
      }
}

std::string SimBusPrinterName(int number) {
  char name[128];
  std::snprintf(name, sizeof name, "usb#vid_4b56&pid_%04x#tarvexsim%04d#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
                unsigned(number & 0xFFFF), number % 10000);
  return name;
}

SimDevice* SimBusServePrinter(UsbPrinter* printer, int number, int port, const std::string& description) {
  SimDeviceSetup s;
  s.name = SimBusPrinterName(number);
  s.pipes = kSimPipeUsb;
  s.control = UsbPrinterControl;
  s.controlState = printer;
  s.printer = &printer->model;
  SimDevice* device = SimDeviceStart(s);
  SimBusNodeSetup n;
  n.device = s.name;
  n.portNumber = port;
  n.description = description;
  if (device && SimBusStart() && SimBusAdd(n)) return device;
  SimDeviceStop(device);
  return nullptr;
}
