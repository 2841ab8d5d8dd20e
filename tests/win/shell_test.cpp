#include "tests/win/harness.h"
#include "tests/win/fake_driver.h"
#include "common/resource.h"
#include "common/state.h"
#include <commctrl.h>
#include <gtest/gtest.h>

class Shell : public AppTest {};

static bool Checked(int id) { return (GetMenuState(GetMenu(hMainWnd), id, MF_BYCOMMAND) & MF_CHECKED) != 0; }

// The window as it starts, its font, its menus with nothing connected, and the end question.
TEST_F(Shell, WindowFontMenusAndTheEndQuestion) {
  char title[128];
  GetWindowTextA(hMainWnd, title, sizeof title);
  EXPECT_STREQ("Tarvex (Ver 01.14)  OS : Windows2000/XP", title);
  int edges[4] = {};
  EXPECT_EQ(4, SendMessageA(hStatusBar, SB_GETPARTS, 4, (LPARAM)edges));
  EXPECT_EQ(180, edges[0]);
  EXPECT_EQ(800, edges[3]);
  EXPECT_EQ(19, SendMessageA(hToolbar, TB_BUTTONCOUNT, 0, 0));

  HFONT font = (HFONT)SendMessageA(hLogList, WM_GETFONT, 0, 0);
  ASSERT_TRUE(font != NULL);
  LOGFONTA requested;
  GetObjectA(font, sizeof requested, &requested);
  EXPECT_STREQ("\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e", requested.lfFaceName);
  EXPECT_EQ(14, requested.lfHeight);
  HDC dc = GetDC(hLogList);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICA metrics;
  GetTextMetricsA(dc, &metrics);
  SIZE narrow, wide;
  GetTextExtentPoint32A(dc, "iiii", 4, &narrow);
  GetTextExtentPoint32A(dc, "WWWW", 4, &wide);
  SelectObject(dc, old);
  ReleaseDC(hLogList, dc);
  EXPECT_EQ(narrow.cx, wide.cx) << "the substitute face is not fixed-pitch";
  EXPECT_EQ(SHIFTJIS_CHARSET, metrics.tmCharSet) << "the substitute face cannot show Shift-JIS";

  PostCommand(IDM_NOP_G);  // no handler: only the menu state refresh runs
  WaitFor([] { return !MenuEnabled(IDM_DISCONNECT); });
  for (int id : {IDM_TCPIP, IDM_SAVE_START}) EXPECT_TRUE(MenuEnabled(id)) << id;
  for (int id : {IDM_DISCONNECT, IDM_DEVICE_ID, IDM_DESCRIPTOR, IDM_SAVE_END}) EXPECT_FALSE(MenuEnabled(id)) << id;
  EXPECT_TRUE(ToolbarEnabled(TB_RS232C));
  for (int id : {TB_KEY_INPUT, TB_SCSI}) EXPECT_FALSE(ToolbarEnabled(id)) << id;

  PreservationFlag = 1;
  PostCommand(IDM_NOP_G);
  EXPECT_TRUE(WaitFor([] { return MenuEnabled(IDM_SAVE_END); }));
  EXPECT_FALSE(MenuEnabled(IDM_SAVE_START));
  EXPECT_FALSE(ToolbarEnabled(TB_SAVE_START));
  EXPECT_TRUE(ToolbarEnabled(TB_SAVE_END));

  // Disconnect with nothing connected still resets the state.
  StringCheckFlag = 1;
  ActiveInterface = '4';
  PostCommand(IDM_DISCONNECT);
  EXPECT_TRUE(WaitFor([] { return StatusText(0) == "       "; }));
  EXPECT_EQ(0, PreservationFlag);
  EXPECT_EQ(0, StringCheckFlag);
  EXPECT_EQ('0', ActiveInterface);
  EXPECT_EQ("Send          0 /          0(byte):     0 /      0", StatusText(1));
  EXPECT_EQ("Write          0 ( byte )", StatusText(2));
  EXPECT_FALSE(ToolbarEnabled(TB_STOP));

  PostCommand(IDM_MIB_REFER);
  PostCommand(IDM_MIB_REFER);
  PostCommand(IDM_GET_JOB_END);
  EXPECT_TRUE(WaitFor([] { return GetJobEndCheck == 1; }));
  EXPECT_FALSE(Checked(IDM_MIB_REFER));
  EXPECT_EQ(0, MibReferCheck);
  EXPECT_TRUE(Checked(IDM_GET_JOB_END));

  PostMessageA(hMainWnd, WM_CLOSE, 0, 0);
  EXPECT_EQ("May I end ?", AnswerMessageBox("End check", IDNO));
  Sleep(100);
  EXPECT_TRUE(IsWindow(hMainWnd));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("Tarvex.ini"));
  HWND wnd = hMainWnd;
  PostMessageA(wnd, WM_CLOSE, 0, 0);
  EXPECT_EQ("May I end ?", AnswerMessageBox("End check", IDYES));
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(wnd); }));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("Tarvex.ini"));
}

// A key pressed with Ctrl held, as the keyboard hands it to the UI thread: the key state is set
// on the thread's (attached) input and the key message goes through its message loop.
static void PressCtrl(char key) {
  DWORD ui = GetWindowThreadProcessId(hMainWnd, NULL);
  AttachThreadInput(GetCurrentThreadId(), ui, TRUE);
  BYTE state[256] = {};
  state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
  SetKeyboardState(state);
  PostMessageA(hMainWnd, WM_KEYDOWN, key, 1);
  PostMessageA(hMainWnd, WM_NULL, 0, 0);
  Sleep(300);
  state[VK_CONTROL] = state[VK_LCONTROL] = 0;
  SetKeyboardState(state);
  PostMessageA(hMainWnd, WM_KEYUP, key, 0xC0000001);
  AttachThreadInput(GetCurrentThreadId(), ui, FALSE);
}

class ShellPort : public FakePortTest {};

// Menu opening greys these items; their accelerators must still work while the command is available.
TEST_F(ShellPort, AcceleratorsReachCommandsGreyedAtMenuOpening) {
  Ports[IF_RS232C].sending = 1;
  PressCtrl('P');
  EXPECT_TRUE(WaitFor([] { return StopRequest == 3; }, 2000)) << "Ctrl+P during a job";
  Ports[IF_RS232C].sending = 0;

  ASSERT_TRUE(StartCapture(folder + "\\c.bin"));
  PressCtrl('E');
  EXPECT_TRUE(WaitFor([] { return PreservationFlag == 0; }, 2000)) << "Ctrl+E in preservation mode";

  PressCtrl('D');
  EXPECT_TRUE(WaitFor([] { return Ports[IF_RS232C].connected == 0; }, 2000)) << "Ctrl+D while connected";

  PostCommand(IDM_RS232C);
  ASSERT_TRUE(WaitFor([] { return Ports[IF_RS232C].connected == 1; }));
  PressCtrl('K');
  HWND keys = WaitDialog("Data transmission by the keyboard input", 2000);
  ASSERT_TRUE(keys != NULL) << "Ctrl+K while connected";
  PostMessageA(keys, WM_CLOSE, 0, 0);
  ASSERT_TRUE(DialogGone(keys));
}
