// The real program as a user starts it: its own process in an empty folder.
#include "tests/win/harness.h"
#include "common/resource.h"
#include "sim/server.h"
#include <gtest/gtest.h>

static void PressCtrlX() {
  keybd_event(VK_CONTROL, 0, 0, 0);
  keybd_event('X', 0, 0, 0);
  keybd_event('X', 0, KEYEVENTF_KEYUP, 0);
  keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
}

// A job on a printer that takes nothing must not keep the program from ending, with status 0.
TEST(Smoke, TheProgramEndsOnCtrlXDuringAStalledJobWithStatus0AndLeavesItsSettings) {
  std::string folder = FreshFolder("smoke");
  int port = SimStart("127.0.0.1", 0);
  ASSERT_NE(0, port);
  SimSetReadRate(0, 1);
  std::string job = folder + "\\stuck.bin";
  WriteBytes(job, std::string(8 << 20, 's'));
  char exe[MAX_PATH];
  GetModuleFileNameA(NULL, exe, sizeof exe);
  std::string program = std::string(exe).substr(0, std::string(exe).find_last_of('\\')) + "\\" TARVEX_EXE;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(program.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, folder.c_str(), &si, &pi))
      << program;
  // No window of this process is open, so the one window of the class is the program's.
  HWND window = NULL;
  EXPECT_TRUE(WaitFor([&] { return (window = FindWindowA("TARVEX", NULL)) != NULL && IsWindowVisible(window); },
                      20000));
  PostMessageA(window, WM_COMMAND, IDM_TCPIP, 0);
  HWND dlg = WaitDialog("TCP/IP(Network)", 5000, pi.dwProcessId);
  EXPECT_TRUE(dlg) << "the TCP/IP dialog did not open";
  SetText(dlg, IDC_TCP_HOST, "127.0.0.1");
  SetText(dlg, IDC_TCP_PORT, std::to_string(port));
  Click(dlg, IDOK);
  EXPECT_TRUE(WaitFor([] { return SimGetStats().connected == 1; }));
  PostMessageA(window, WM_COMMAND, IDM_BLOCK, 0);
  dlg = WaitDialog("Block transmission", 5000, pi.dwProcessId);
  EXPECT_TRUE(dlg) << "the block transmission dialog did not open";
  Click(dlg, IDC_BLK_SELECT);
  EXPECT_TRUE(ChooseInFileDialog("Please choose a transmitting file.", job, pi.dwProcessId));
  Click(dlg, IDOK);
  EXPECT_TRUE(DialogGone(dlg));
  Sleep(500);

  DWORD ended = WAIT_TIMEOUT;
  for (int attempt = 0; window && attempt < 3 && ended == WAIT_TIMEOUT; attempt++) {
    SetForegroundWindow(window);
    Sleep(300);
    PressCtrlX();
    ended = WaitForSingleObject(pi.hProcess, 5000);
  }
  EXPECT_EQ(WAIT_OBJECT_0, ended) << "Ctrl+X did not end the program";
  DWORD status = 1;
  if (ended != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &status) && status == 0) << "exit status " << status;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  SimSetReadRate(0, 0);
  SimStop();

  EXPECT_NE(std::string::npos, ReadBytes(folder + "\\Tarvex.ini").find("[USB]\r\nreceive times=500\r\n"));
}
