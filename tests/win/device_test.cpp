// The simulated devices as the product sees them: real pipes behind real DOS names, and the
// device seam's requests and enumeration, which hold the simulator only while it runs.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/device.h"
#include "ports/usb/access.h"
#include "sim/bus.h"
#include "sim/device_host.h"

namespace {

ControlAnswer Reverse(void*, const ControlRequest& r) {
  ControlAnswer a;
  a.success = 1;
  a.out.assign(r.in.rbegin(), r.in.rend());
  return a;
}

SimDevice* Serve(const std::string& name, const std::string& dos, int pipes = kSimPipeData) {
  SimDeviceSetup s;
  s.name = name;
  s.dosName = dos;
  s.pipes = pipes;
  s.control = Reverse;
  return SimDeviceStart(s);
}

HANDLE Open(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, NULL);
}

std::string Request(HANDLE h, DWORD code, const std::string& in, DWORD* error) {
  char out[32];
  DWORD n = 0;
  SetLastError(0);
  BOOL ok = Device.DeviceIoControl(h, code, (void*)in.data(), DWORD(in.size()), out, sizeof out, &n, NULL);
  *error = ok ? 0 : GetLastError();
  return ok ? std::string(out, n) : std::string();
}

// What the drivers' own tests cannot see: a name or handle left behind when the device goes.
TEST(DeviceSeam, DosNamesGoWithTheDeviceAndOnlyItsHandlesAreRoutedNeverHanging) {
  for (const char* dos : {"KELVSIM1", "LPT8"}) {
    std::string path = std::string("\\\\.\\") + dos;
    SimDevice* d = Serve(std::string("test-") + dos, dos);
    ASSERT_TRUE(d) << dos;
    HANDLE h = Open(path);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << dos << " error " << GetLastError();
    DWORD error;
    EXPECT_EQ(Request(h, 1, "abc", &error), "cba") << dos;
    SimDeviceVanish(d);
    DWORD start = GetTickCount();
    EXPECT_EQ(Request(h, 1, "abc", &error), "");
    EXPECT_NE(error, 0u) << "the platform's answer for a broken pipe";
    EXPECT_LT(GetTickCount() - start, 2000u);
    CloseHandle(h);
    SimDeviceStop(d);
    EXPECT_EQ(Open(path), INVALID_HANDLE_VALUE) << dos;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND)) << dos;
  }
  HANDLE file = CreateFileA("C:\\windows\\win.ini", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD error;
  EXPECT_EQ(Request(file, 1, "abc", &error), "") << "only the simulator's handles are routed";
  EXPECT_NE(error, 0u);
  CloseHandle(file);
}

// The device-node tree depth first, one description per node, indented by depth.
void Walk(DEVINST node, int depth, std::vector<std::string>* out) {
  for (CONFIGRET r = Device.CM_Get_Child(&node, node, 0); r == CR_SUCCESS; r = Device.CM_Get_Sibling(&node, node, 0)) {
    char text[512];
    ULONG size = sizeof text;
    if (Device.CM_Get_DevNode_Registry_PropertyA(node, CM_DRP_DEVICEDESC, NULL, text, &size, 0) == CR_SUCCESS)
      out->push_back(std::string(depth, ' ') + text);
    Walk(node, depth + 1, out);
  }
}

// The whole tree, the ports the spooler lists, and whether the printer interface of USB001 is found.
std::vector<std::string> Enumerated() {
  std::vector<std::string> out;
  HANDLE h;
  bool found = UsbAccessOpen(&h, "USBTST", "USB001") == 0;
  out.push_back(found ? "USB001 opens" : "no USB001");
  if (found) UsbAccessClose(h);
  DEVINST root;
  if (Device.CM_Locate_DevNodeA(&root, NULL, 0) == CR_SUCCESS) Walk(root, 0, &out);
  auto enumPorts = (decltype(&EnumPortsA))(void*)GetProcAddress(LoadLibraryA("winspool.drv"), "EnumPortsA");
  DWORD need = 0, count = 0;
  enumPorts(NULL, 1, NULL, 0, &need, &count);
  std::vector<BYTE> buffer(need + 1);
  if (enumPorts(NULL, 1, buffer.data(), need, &need, &count))
    for (DWORD i = 0; i < count; i++) out.push_back(((PORT_INFO_1A*)buffer.data())[i].pName);
  return out;
}

TEST(DeviceSeam, EnumerationListsTheBusOnlyWhileItRuns) {
  std::string name = SimBusPrinterName(1);
  auto openHcd = [] {
    return Device.OpenKernelDevice("\\\\.\\HCD0", GENERIC_WRITE, FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
  };
  std::vector<std::string> platform = Enumerated();
  EXPECT_EQ(platform[0], "no USB001");
  EXPECT_EQ(openHcd(), INVALID_HANDLE_VALUE);

  ASSERT_TRUE(SimBusStart());
  SimDevice* hcd = Serve("HCD0", "", kSimPipeHandle);
  SimDevice* printer = Serve(name, "", kSimPipeUsb);
  ASSERT_TRUE(hcd && printer);
  SimBusNodeSetup c;
  c.driverKey = "{36fc9e60-c465-11cf-8056-444553540000}\\0000";
  c.description = "Simulated host controller";
  SimBusNodeSetup p;
  p.driverKey = "{4d36e979-e325-11ce-bfc1-08002be10318}\\0001";
  p.description = "Simulated printer";
  p.device = name;
  p.portNumber = 1;
  p.parent = SimBusAdd(c);
  ASSERT_TRUE(SimBusAdd(p));

  std::vector<std::string> seen = Enumerated();
  EXPECT_EQ(seen[0], "USB001 opens");
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "Simulated host controller"), 1);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), " Simulated printer"), 1);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "USB001"), 1);
  EXPECT_EQ(seen.size(), platform.size() + 3);
  HANDLE h = openHcd();
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD error;
  EXPECT_EQ(Request(h, 1, "hcd", &error), "dch");
  CloseHandle(h);

  SimBusStop();
  SimDeviceStop(printer);
  SimDeviceStop(hcd);
  EXPECT_EQ(Enumerated(), platform);
  EXPECT_EQ(openHcd(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

}  // namespace
