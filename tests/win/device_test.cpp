// The simulated devices as the product sees them: real pipes behind real DOS names, and
// the device seam's requests and enumeration.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/device.h"
#include "sim/bus.h"
#include "sim/device_host.h"

namespace {

const std::string kUel = "\x1B%-12345X";

// Code 1 answers its input reversed; everything else fails as an unknown request would.
ControlAnswer Reverse(void*, const ControlRequest& r) {
  if (r.code != 1) return ControlFailure(ERROR_INVALID_FUNCTION);
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

HANDLE Open(const std::string& path, DWORD access = GENERIC_READ | GENERIC_WRITE) {
  return CreateFileA(path.c_str(), access, 0, NULL, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, NULL);
}

// One overlapped transfer, waited for up to 5 s; the bytes moved, or -1.
int Transfer(HANDLE h, bool write, char* data, DWORD n) {
  OVERLAPPED ov = {};
  ov.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
  BOOL ok = write ? WriteFile(h, data, n, NULL, &ov) : ReadFile(h, data, n, NULL, &ov);
  DWORD got = 0;
  if ((ok || GetLastError() == ERROR_IO_PENDING) && WaitForSingleObject(ov.hEvent, 5000) != WAIT_OBJECT_0) CancelIo(h);
  ok = GetOverlappedResult(h, &ov, &got, TRUE);
  CloseHandle(ov.hEvent);
  return ok ? int(got) : -1;
}

// Writes a job asking for an echo and reads what the printer answers.
std::string EchoThrough(HANDLE out, HANDLE in) {
  std::string job = kUel + "@PJL ECHO seam\r\n";
  if (Transfer(out, true, &job[0], DWORD(job.size())) != int(job.size())) return "write failed";
  char answer[64];
  int n = Transfer(in, false, answer, sizeof answer);
  return n < 0 ? "read failed" : std::string(answer, n);
}

std::string Request(HANDLE h, DWORD code, const std::string& in, DWORD* error) {
  char out[32];
  DWORD n = 0;
  SetLastError(0);
  BOOL ok = Device.DeviceIoControl(h, code, (void*)in.data(), DWORD(in.size()), out, sizeof out, &n, NULL);
  *error = ok ? 0 : GetLastError();
  return ok ? std::string(out, n) : std::string();
}

TEST(DeviceHost, DosNamesLeadToTheDeviceAndGoWithIt) {
  for (const char* dos : {"KELVSIM1", "LPT8"}) {
    std::string name = std::string("test-") + dos, path = std::string("\\\\.\\") + dos;
    SimDevice* d = Serve(name, dos);
    ASSERT_TRUE(d) << dos;
    HANDLE h = Open(path);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << dos << " error " << GetLastError();
    EXPECT_EQ(EchoThrough(h, h), "@PJL ECHO seam\r\n\f") << dos;
    CloseHandle(h);
    SimDeviceStop(d);
    EXPECT_EQ(Open(path), INVALID_HANDLE_VALUE) << dos;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND)) << dos;
  }
}

TEST(DeviceHost, WriteWaitsWhileThePrinterIsSlowAndEndsWhenItReads) {
  SimDevice* d = Serve("test-slow", "");
  ASSERT_TRUE(d);
  SimDeviceSetReading(d, 0);
  HANDLE h = Open(SimDevicePath("test-slow"));
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::string data = FloodBytes(65536, 9);
  OVERLAPPED ov = {};
  ov.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
  ASSERT_FALSE(WriteFile(h, data.data(), DWORD(data.size()), NULL, &ov));
  ASSERT_EQ(GetLastError(), DWORD(ERROR_IO_PENDING));
  EXPECT_EQ(WaitForSingleObject(ov.hEvent, 500), DWORD(WAIT_TIMEOUT)) << "nothing read, yet the write ended";

  SimDeviceSetReadRate(d, 100000);
  SimDeviceSetReading(d, 1);
  DWORD start = GetTickCount(), n = 0;
  EXPECT_EQ(WaitForSingleObject(ov.hEvent, 10000), DWORD(WAIT_OBJECT_0));
  EXPECT_GE(GetTickCount() - start, 200u) << "56 KiB past the pipe buffers at 100 KB/s";
  EXPECT_TRUE(GetOverlappedResult(h, &ov, &n, FALSE));
  EXPECT_EQ(n, data.size());
  for (int i = 0; i < 500; i++) {
    SimDeviceLock(d);
    long long bytes = SimDevicePrinter(d)->bytes;
    uint64_t hash = SimDevicePrinter(d)->hash;
    SimDeviceUnlock(d);
    if (bytes == (long long)data.size()) {
      EXPECT_EQ(hash, Fnv1a64(data.data(), data.size()));
      break;
    }
    ASSERT_LT(i, 499) << "the printer received " << bytes;
    Sleep(10);
  }
  CloseHandle(ov.hEvent);
  CloseHandle(h);
  SimDeviceStop(d);
}

TEST(DeviceSeam, RequestsReachTheDeviceFailAsAskedAndNeverHang) {
  SimDevice* d = Serve("test-control", "");
  ASSERT_TRUE(d);
  HANDLE h = Open(SimDevicePath("test-control"));
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD error;
  EXPECT_EQ(Request(h, 1, "abc", &error), "cba");
  EXPECT_EQ(Request(h, 2, "abc", &error), "");
  EXPECT_EQ(error, DWORD(ERROR_INVALID_FUNCTION));
  for (DWORD chosen : {170, 21, 1167}) {
    SimDeviceFailNextControl(d, chosen);
    Request(h, 1, "abc", &error);
    EXPECT_EQ(error, chosen);
  }
  EXPECT_EQ(Request(h, 1, "xy", &error), "yx") << "a fault lasts one request";

  char byte = 'x';
  DWORD n;
  SimDeviceFailNextWrite(d, 170);
  EXPECT_FALSE(Device.WriteFile(h, &byte, 1, &n, NULL));
  EXPECT_EQ(GetLastError(), 170u);
  EXPECT_TRUE(Device.WriteFile(h, &byte, 1, &n, NULL));

  HANDLE file = CreateFileA("C:\\windows\\win.ini", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Request(file, 1, "abc", &error), "") << "only the simulator's handles are routed";
  EXPECT_NE(error, 0u);
  CloseHandle(file);

  SimDeviceVanish(d);
  DWORD start = GetTickCount();
  EXPECT_EQ(Request(h, 1, "abc", &error), "");
  EXPECT_NE(error, 0u) << "the platform's answer for a broken pipe";
  EXPECT_LT(GetTickCount() - start, 2000u);
  EXPECT_EQ(Open(SimDevicePath("test-control")), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  CloseHandle(h);

  ASSERT_TRUE(SimDeviceReturn(d));
  h = Open(SimDevicePath("test-control"));
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Request(h, 1, "ok", &error), "ko");
  CloseHandle(h);
  SimDeviceStop(d);
}

// Each USB printer interface as "<path> <Port Number>".
std::vector<std::string> PrinterInterfaces() {
  std::vector<std::string> found;
  HDEVINFO set = Device.SetupDiGetClassDevsA(&DeviceUsbPrinterClass, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return found;
  SP_DEVICE_INTERFACE_DATA i = {};
  i.cbSize = sizeof i;
  for (DWORD n = 0; Device.SetupDiEnumDeviceInterfaces(set, NULL, &DeviceUsbPrinterClass, n, &i); n++) {
    DWORD size = 0;
    Device.SetupDiGetDeviceInterfaceDetailA(set, &i, NULL, 0, &size, NULL);
    std::vector<char> buffer(size > 8 ? size : 8);
    auto* detail = (PSP_DEVICE_INTERFACE_DETAIL_DATA_A)buffer.data();
    detail->cbSize = sizeof *detail;
    if (!Device.SetupDiGetDeviceInterfaceDetailA(set, &i, detail, size, NULL, NULL)) continue;
    DWORD port = 0, length = sizeof port;
    HKEY key = Device.SetupDiOpenDeviceInterfaceRegKey(set, &i, 0, KEY_READ);
    if (key != INVALID_HANDLE_VALUE) {
      RegQueryValueExA(key, "Port Number", NULL, NULL, (BYTE*)&port, &length);
      RegCloseKey(key);
    }
    found.push_back(std::string(detail->DevicePath) + " " + std::to_string(port));
  }
  Device.SetupDiDestroyDeviceInfoList(set);
  return found;
}

// The device-node tree depth first, one description per node, indented by depth.
void Walk(DEVINST node, int depth, std::vector<std::string>* out) {
  for (CONFIGRET r = Device.CM_Get_Child(&node, node, 0); r == CR_SUCCESS; r = Device.CM_Get_Sibling(&node, node, 0)) {
    char text[512];
    ULONG size = sizeof text;
    if (Device.CM_Get_DevNode_Registry_PropertyA(node, CM_DRP_DEVICEDESC, NULL, text, &size, 0) == CR_SUCCESS)
      out->push_back(std::string(depth, ' ') + text);
    DEVINST parent;
    EXPECT_EQ(Device.CM_Get_Parent(&parent, node, 0), CONFIGRET(CR_SUCCESS));
    Walk(node, depth + 1, out);
  }
}

std::vector<std::string> Tree() {
  std::vector<std::string> out;
  DEVINST root;
  if (Device.CM_Locate_DevNodeA(&root, NULL, 0) == CR_SUCCESS) Walk(root, 0, &out);
  return out;
}

bool PortListed(const std::string& name) {
  auto enumPorts = (decltype(&EnumPortsA))(void*)GetProcAddress(LoadLibraryA("winspool.drv"), "EnumPortsA");
  DWORD need = 0, count = 0;
  enumPorts(NULL, 1, NULL, 0, &need, &count);
  std::vector<BYTE> buffer(need + 1);
  if (!enumPorts(NULL, 1, buffer.data(), need, &need, &count)) return false;
  for (DWORD i = 0; i < count; i++)
    if (name == ((PORT_INFO_1A*)buffer.data())[i].pName) return true;
  return false;
}

TEST(DeviceSeam, EnumerationListsTheBusOnlyWhileItRuns) {
  std::string name = SimBusPrinterName(1), path = SimDevicePath(name);
  auto openHcd = [] {
    return Device.OpenKernelDevice("\\\\.\\HCD0", GENERIC_WRITE, FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
  };
  std::vector<std::string> platformTree = Tree();
  EXPECT_EQ(PrinterInterfaces(), std::vector<std::string>());
  EXPECT_EQ(openHcd(), INVALID_HANDLE_VALUE);

  ASSERT_TRUE(SimBusStart());
  SimDevice* hcd = Serve("HCD0", "", kSimPipeHandle);
  SimDevice* printer = Serve(name, "", kSimPipeUsb);
  ASSERT_TRUE(hcd && printer);
  SimBusNodeSetup c;
  c.driverKey = "{36fc9e60-c465-11cf-8056-444553540000}\\0000";
  c.description = "Simulated host controller";
  int controller = SimBusAdd(c);
  SimBusNodeSetup p;
  p.driverKey = "{4d36e979-e325-11ce-bfc1-08002be10318}\\0001";
  p.description = "Simulated printer";
  p.device = name;
  p.portNumber = 1;
  p.parent = controller;
  ASSERT_TRUE(SimBusAdd(p));

  EXPECT_EQ(PrinterInterfaces(), std::vector<std::string>({path + " 1"}));
  std::vector<std::string> tree = platformTree;
  tree.push_back("Simulated host controller");
  tree.push_back(" Simulated printer");
  EXPECT_EQ(Tree(), tree);
  EXPECT_TRUE(PortListed("USB001"));
  HANDLE control = Open(path), out = Open(path + "\\PIPE00", GENERIC_WRITE), in = Open(path + "\\PIPE01", GENERIC_READ);
  ASSERT_NE(control, INVALID_HANDLE_VALUE);
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  ASSERT_NE(in, INVALID_HANDLE_VALUE);
  EXPECT_EQ(EchoThrough(out, in), "@PJL ECHO seam\r\n\f");
  DWORD error;
  EXPECT_EQ(Request(control, 1, "usb", &error), "bsu");
  HANDLE h = openHcd();
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Request(h, 1, "hcd", &error), "dch");
  for (HANDLE x : {control, out, in, h}) CloseHandle(x);

  SimBusStop();
  SimDeviceStop(printer);
  SimDeviceStop(hcd);
  EXPECT_EQ(PrinterInterfaces(), std::vector<std::string>());
  EXPECT_EQ(Tree(), platformTree);
  EXPECT_FALSE(PortListed("USB001"));
  EXPECT_EQ(openHcd(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

}  // namespace
