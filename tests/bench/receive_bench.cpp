// The received path end to end: 8 MB of printable answers from the simulated printer through
// each interface's receive thread at the smallest receive interval, once shown in the log and
// once captured to a file with the display off, the file compared with what the printer sent.
// TCP/IP and RS-232C are served by the native printer in its own process (it greets every
// TCP/IP connection with the answers); the device printers run in this process.
#include <winsock2.h>
#include "tests/bench/bench.h"
#include "common/settings.h"
#include "send/frame.h"
#include "sim/bus.h"
#include "sim/device_host.h"
#include "sim/parallel.h"
#include "sim/scsi.h"
#include "sim/usb_printer.h"
#include "terminal/log.h"
#include "tests/win/rs232c_far_end.h"
#include <string>

const int TOTAL = 8 << 20;
const double SHOWN_GOAL = 1.0, CAPTURED_GOAL = 2.0;  // MB/s
const DWORD TIME_LIMIT_MS = 20000;  // a slow path ends its run early, with the rate it reached
const int COM = 10;
const char* const SMALLEST_INTERVAL = "50ms ";

static const std::string answers = AnswerText(TOTAL);
static char tcpPort[8];
static double connectStart;
static SimDevice *parallel, *ieee1394, *usb;

// A connection dialog as a user fills it: bidirectional, the smallest interval, and what
// the interface asks besides (`fill`: false when the dialog lacks an entry).
struct ConnectDialog {
  int command;
  const char* title;
  int kind, intervalId, bidirectionalId;
  bool (*fill)(HWND dlg);
};

static bool Connect(const ConnectDialog& d) {
  HWND dlg = OpenDialog(d.command, d.title);
  if (!dlg) return false;
  bool filled = Choose(dlg, d.intervalId, SMALLEST_INTERVAL) && d.fill(dlg);
  SetCheck(dlg, d.bidirectionalId, true);
  Click(dlg, filled ? IDOK : IDCANCEL);
  int kind = d.kind;
  return filled && WaitUntil([kind] { return Ports[kind].connected == 1 && ReceiveThreadHandle; });
}

// The printer answers every connection at once, so its answers start with the connection.
static bool ConnectTcpip() {
  connectStart = Now();
  return ConnectTcpip(tcpPort, true) && WaitUntil([] { return ReceiveThreadHandle != NULL; });
}

static bool ConnectRs232c() {
  return Connect({IDM_RS232C, "RS-232C", IF_RS232C, IDC_RS_INTERVAL, IDC_RS_BIDIR,
                  [](HWND dlg) { return Choose(dlg, IDC_RS_PORT, "COM10") && Choose(dlg, IDC_RS_FLOW, "NO"); }});
}

static bool ConnectIeee1284() {
  return Connect({IDM_IEEE1284, "IEEE1284(Centro)", IF_IEEE1284, IDC_1284_INTERVAL, IDC_1284_BIDIR, [](HWND dlg) {
                    SetCheck(dlg, IDC_1284_ECP, true);
                    return true;
                  }});
}

static bool ConnectIeee1394() {
  return Connect({IDM_IEEE1394, "IEEE1394", IF_IEEE1394, IDC_1394_INTERVAL, IDC_1394_BIDIR,
                  [](HWND dlg) { return Choose(dlg, IDC_1394_PORT, "LPT2"); }});
}

static bool ConnectUsb() {
  return Connect({IDM_USB, "USB printer name selection", IF_USB, IDC_USB_INTERVAL, IDC_USB_BIDIR, [](HWND dlg) {
                    SetCheck(dlg, IDC_USB_STATUS, false);
                    return SetDlgItemTextA(dlg, IDC_USB_PRINTER, "Bench") != 0;
                  }});
}

// Each returns when the printer's answers started.
static double Greeted() { return connectStart; }

static double FarEndAnswers() {
  double start = Now();
  return FarEndAsk("answers " + std::to_string(TOTAL)) == "ok" ? start : 0;
}

static double DeviceAnswers(SimDevice* device) {
  double start = Now();
  SimDeviceSend(device, answers);
  return start;
}

struct Interface {
  const char* name;
  int kind;
  bool (*connect)();  // its dialog as a user fills it: bidirectional, the smallest interval
  double (*answer)();
};

const Interface INTERFACES[] = {
    {"TCP/IP", IF_TCPIP, ConnectTcpip, Greeted},
    {"RS-232C", IF_RS232C, ConnectRs232c, FarEndAnswers},
    {"IEEE1284", IF_IEEE1284, ConnectIeee1284, [] { return DeviceAnswers(parallel); }},
    {"IEEE1394", IF_IEEE1394, ConnectIeee1394, [] { return DeviceAnswers(ieee1394); }},
    {"USB", IF_USB, ConnectUsb, [] { return DeviceAnswers(usb); }},
};

static void Disconnect(int kind) {
  PostMessageA(hMainWnd, WM_COMMAND, IDM_DISCONNECT, 0);
  WaitUntil([kind] { return Ports[kind].connected == 0; });
}

static std::string LogLine(int index) {
  char line[1024] = "";
  if (SendMessageA(hLogList, LB_GETTEXTLEN, index, 0) >= (LRESULT)sizeof line) return "";
  SendMessageA(hLogList, LB_GETTEXT, index, (LPARAM)line);
  return line;
}

const char* const RUN_LINE = "receive bench: ";

// How far into the answers the log has shown them: the last answer's code line among the
// last lines of this run, or all of them once their last line is there.
static long long BytesShown() {
  int count = (int)SendMessageA(hLogList, LB_GETCOUNT, 0, 0);
  for (int i = count - 1; i >= 0 && i >= count - 8; i--) {
    std::string line = LogLine(i);
    if (line.compare(0, strlen(RUN_LINE), RUN_LINE) == 0) break;
    if (line.compare(0, 13, "@PJL INFO END") == 0) return TOTAL;
    size_t end = line.find_first_not_of("0123456789", 5);
    if (line.compare(0, 5, "CODE=") == 0) return (long long)answers.find("\r\n" + line.substr(0, end) + "\r\n");
  }
  return 0;
}

static long long BytesCaptured(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return ((long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

struct Run {
  double rate, seconds;
};

// MB/s from `start` until all the answers arrived, or as far as they came within the limit.
static Run Timed(double (*answer)(), const std::function<long long()>& arrived) {
  Run run = {};
  double start = answer();
  DWORD begun = GetTickCount();
  while (start && arrived() < TOTAL && GetTickCount() - begun < TIME_LIMIT_MS) Sleep(20);
  run.seconds = Now() - start;
  long long bytes = start ? std::max(arrived(), 0LL) : 0;
  run.rate = bytes / 1e6 / run.seconds;
  if (bytes < TOTAL) printf("  (only %lld bytes in %.1f s)\n", bytes, run.seconds);
  return run;
}

static Run Shown(const Interface& port) {
  RcvDsp = 1;
  DisplayLine("%s%s shown", RUN_LINE, port.name);
  Run run = {};
  if (port.connect()) run = Timed(port.answer, BytesShown);
  Disconnect(port.kind);
  return run;
}

static bool StartCapture(const std::string& path) {
  HWND dlg = OpenDialog(IDM_SAVE_START, "A setup of a preservation place");
  if (!dlg) return false;
  SetDlgItemTextA(dlg, IDC_CAP_NAME, path.c_str());
  Click(dlg, IDOK);
  return WaitUntil([] { return PreservationFlag == 1; });
}

static std::string FileBytes(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
  std::string bytes(TOTAL + 1, '\0');
  DWORD read = 0;
  if (file != INVALID_HANDLE_VALUE) ReadFile(file, &bytes[0], (DWORD)bytes.size(), &read, NULL);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

static std::string capturePath;

static Run Captured(const Interface& port, bool* exact) {
  RcvDsp = 0;
  *exact = false;
  Run run = {};
  if (StartCapture(capturePath) && port.connect()) run = Timed(port.answer, [] { return BytesCaptured(capturePath); });
  PostMessageA(hMainWnd, WM_COMMAND, IDM_SAVE_END, 0);
  WaitUntil([] { return PreservationFlag == 0; });
  Disconnect(port.kind);
  *exact = FileBytes(capturePath) == answers;
  DeleteFileA(capturePath.c_str());
  return run;
}

static const char* Verdict(double rate, double goal) { return rate >= goal ? "meets" : "BELOW"; }

static void PrintRun(const char* what, const Run& run, double goal) {
  printf("    %-8s %6.2f MB/s (%s %.0f) in %5.2f s\n", what, run.rate, Verdict(run.rate, goal), goal, run.seconds);
}

static bool Measure(const Interface& port) {
  Run shown = Shown(port);
  bool exact;
  Run captured = Captured(port, &exact);
  printf("  %s: byte-exact %s\n", port.name, exact ? "yes" : "NO");
  PrintRun("shown", shown, SHOWN_GOAL);
  PrintRun("captured", captured, CAPTURED_GOAL);
  fflush(stdout);
  return shown.rate >= SHOWN_GOAL && captured.rate >= CAPTURED_GOAL && exact;
}

// The port the native printer is to listen on; another program may take it meanwhile, which
// the TCP/IP run then shows.
static int FreePort() {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  int port = bind(s, (sockaddr*)&address, sizeof address) == 0 && getsockname(s, (sockaddr*)&address, &length) == 0
                 ? ntohs(address.sin_port)
                 : 0;
  closesocket(s);
  return port;
}

int main() {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  snprintf(tcpPort, sizeof tcpPort, "%d", FreePort());
  std::string options = std::string("--port ") + tcpPort + " --answers " + std::to_string(TOTAL);
  const char* build = "bench";
  ListComPort(COM, true);
  if (!FarEndStart(COM, build, options.c_str()) && !FarEndStart(COM, build = "native", options.c_str())) {
    printf("the native simulated printer did not start (build/bench/tarvex-sim)\n");
    return 1;
  }
  static ParallelDevice port;
  static ScsiDevice scsi;
  static UsbPrinter printer = MakeUsbPrinter("Bench", 1);
  ParallelReset(&port);
  parallel = SimDeviceStart({"KELVLPT1", "KELVLPT1", kSimPipeData, ParallelControl, &port});
  ieee1394 = SimDeviceStart({"receive-bench-1394", "LPT2", kSimPipeData, ScsiControl, &scsi});
  usb = SimBusServePrinter(&printer, 1, 1, "Bench");
  if (!parallel || !ieee1394 || !usb || !BenchStart("tarvex-receive-bench", SW_SHOW)) {
    printf("the simulated devices or the main window did not start\n");
    return 1;
  }
  char folder[MAX_PATH];
  GetCurrentDirectoryA(sizeof folder, folder);
  capturePath = std::string(folder) + "\\capture.dat";
  printf("received path, %d MB of printable answers, receive interval %s(TCP/IP polls every 100 ms),\n"
         "printer of the %s build on TCP/IP and RS-232C:\n",
         TOTAL >> 20, SMALLEST_INTERVAL, build);
  bool met = true;
  for (const Interface& i : INTERFACES) met = Measure(i) && met;
  BenchEnd();
  SimBusStop();
  for (SimDevice* device : {parallel, ieee1394, usb}) SimDeviceStop(device);
  FarEndStop();
  ListComPort(COM, false);
  return met ? 0 : 1;
}
