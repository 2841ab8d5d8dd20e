// The real program as a user starts it: its own process in an empty folder.
#include "tests/win/harness.h"
#include <gtest/gtest.h>

static void PressCtrlX() {
  keybd_event(VK_CONTROL, 0, 0, 0);
  keybd_event('X', 0, 0, 0);
  keybd_event('X', 0, KEYEVENTF_KEYUP, 0);
  keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
}

TEST(Smoke, TheProgramStartsInAnEmptyFolderEndsOnCtrlXAndLeavesItsSettings) {
  std::string folder = FreshFolder("smoke");
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
  DWORD ended = WAIT_TIMEOUT;
  for (int attempt = 0; window && attempt < 5 && ended == WAIT_TIMEOUT; attempt++) {
    SetForegroundWindow(window);
    Sleep(300);
    PressCtrlX();
    ended = WaitForSingleObject(pi.hProcess, 2000);
  }
  EXPECT_EQ(WAIT_OBJECT_0, ended) << "Ctrl+X did not end the program";
  if (ended != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);

  EXPECT_NE(std::string::npos, ReadBytes(folder + "\\Tarvex.ini").find("[USB]\r\nreceive times=500\r\n"));
}
