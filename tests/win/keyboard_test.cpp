#include "tests/win/fake_driver.h"
#include "tests/win/harness.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "send/direct_send.h"
#include <gtest/gtest.h>
#include <string.h>

class Keyboard : public FakePortTest {
 protected:
  void Open(int hex, int unit, int newline) {
    dlg = OpenKeyInputDialog(hex, unit, newline);
    ASSERT_TRUE(dlg != NULL);
    field = GetDlgItem(dlg, IDC_KEY_ENTRY);
  }
  void Type(const char* chars) { TypeChars(field, chars); }
  void Key(WPARAM key, char produced = 0) {
    SendMessageA(field, WM_KEYDOWN, key, 1);
    if (produced) SendMessageA(field, WM_CHAR, produced, 1);
  }
  void Enter() { Key(VK_RETURN, '\r'); }
  HWND dlg = NULL, field = NULL;
};

static COLORREF TextColourOf(HWND dlg, HWND control, UINT msg, LRESULT* brush) {
  HDC dc = CreateCompatibleDC(NULL);
  *brush = SendMessageA(dlg, msg, (WPARAM)dc, (LPARAM)control);
  COLORREF colour = GetTextColor(dc);
  DeleteDC(dc);
  return colour;
}

// Line unit sends on Enter, an empty line sends the newline code; hex entry sends each pair as
// one byte and ignores everything else; character unit sends each character at once.
TEST_F(Keyboard, LineHexAndCharacterEntry) {
  Open(0, 1, 2);
  LRESULT brush;
  EXPECT_EQ(RGB(0, 0, 255), TextColourOf(dlg, field, WM_CTLCOLOREDIT, &brush));
  EXPECT_EQ(RGB(255, 255, 255), TextColourOf(dlg, GetDlgItem(dlg, IDC_KEY_ASC), WM_CTLCOLORSTATIC, &brush));
  EXPECT_NE(0, brush);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dlg, IDC_KEY_ASC)));
  EXPECT_TRUE(IsChecked(dlg, IDC_KEY_LINE_UNIT));
  EXPECT_TRUE(IsChecked(dlg, IDC_KEY_CRLF));
  // Posted like real keystrokes, so the dialog manager's routing of Enter is part of the test.
  for (char c : std::string("abc")) PostMessageA(field, WM_CHAR, c, 1);
  PostMessageA(field, WM_KEYDOWN, VK_RETURN, 1);
  PostMessageA(field, WM_CHAR, '\r', 1);
  ASSERT_TRUE(WaitFor([] { return Fake.directWrites.size() == 1; }));
  EXPECT_EQ("abc", Fake.directWrites[0]);
  EXPECT_TRUE(WaitFor([&] { return Text(dlg, IDC_KEY_ENTRY).empty(); }));

  Type("d");
  Enter();
  Enter();
  SetCheck(dlg, IDC_KEY_CR, true);
  ASSERT_TRUE(WaitFor([] { return KEYINNewlineCode == 0; }));
  Enter();
  SetCheck(dlg, IDC_KEY_LF, true);
  ASSERT_TRUE(WaitFor([] { return KEYINNewlineCode == 1; }));
  Enter();
  Type("ab\\q");  // a bad escape sends nothing and says why
  Enter();
  EXPECT_EQ((std::vector<std::string>{"abc", "d", "\r\n", "\r", "\n"}), Fake.directWrites);
  EXPECT_EQ("", Text(dlg, IDC_KEY_ENTRY));
  EXPECT_EQ((std::vector<std::string>{"ERROR: ab\\q<- Invalid escale character."}), LogLines());

  Fake.directWrites.clear();
  SetCheck(dlg, IDC_KEY_HEX, true);
  ASSERT_TRUE(WaitFor([] { return KEYINHexFlag == 1; }));
  EXPECT_TRUE(IsChecked(dlg, IDC_KEY_CHAR_UNIT));
  EXPECT_FALSE(IsChecked(dlg, IDC_KEY_LINE_UNIT));
  EXPECT_EQ(0, KEYINSendType);
  for (int id : {IDC_KEY_NEWLINE_GROUP, IDC_KEY_CR, IDC_KEY_CRLF, IDC_KEY_UNIT_GROUP, IDC_KEY_CHAR_UNIT,
                 IDC_KEY_LINE_UNIT})
    EXPECT_FALSE(IsEnabled(dlg, id)) << id;
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dlg, IDC_KEY_HEX_LABEL)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, IDC_KEY_ASC)));
  EXPECT_EQ(RGB(255, 0, 0), TextColourOf(dlg, field, WM_CTLCOLOREDIT, &brush));

  Type("4");
  EXPECT_TRUE(Fake.directWrites.empty());
  Type("1");
  EXPECT_EQ("41", Text(dlg, IDC_KEY_ENTRY));
  Type("00");
  Type("4g");
  Enter();
  Key(VK_BACK, '\b');
  Type("B");
  EXPECT_EQ("4B", Text(dlg, IDC_KEY_ENTRY));
  EXPECT_EQ((std::vector<std::string>{"A", std::string(1, '\0'), "K"}), Fake.directWrites);

  Key(VK_INSERT);
  EXPECT_EQ(0, KEYINHexFlag);
  EXPECT_FALSE(IsChecked(dlg, IDC_KEY_HEX));
  EXPECT_TRUE(IsEnabled(dlg, IDC_KEY_LINE_UNIT));
  EXPECT_EQ("", Text(dlg, IDC_KEY_ENTRY));
  Key(VK_INSERT);
  EXPECT_EQ(1, KEYINHexFlag);
  Key(VK_INSERT);

  // Character unit: each character goes at once.
  Fake.directWrites.clear();
  SetCheck(dlg, IDC_KEY_CHAR_UNIT, true);
  SetCheck(dlg, IDC_KEY_CR, true);
  ASSERT_TRUE(WaitFor([] { return KEYINSendType == 0 && KEYINNewlineCode == 0; }));
  Type("xy");
  EXPECT_EQ("y", Text(dlg, IDC_KEY_ENTRY));
  Key(VK_BACK, '\b');
  Enter();
  Type("\x01");
  EXPECT_EQ((std::vector<std::string>{"x", "y", "\r", "\x01"}), Fake.directWrites);
}

TEST_F(Keyboard, FunctionKeysAndDirectSendsGoToTheConnectedPort) {
  strcpy(FunctionKeys[0], "AB\\r\\n");
  strcpy(FunctionKeys[1], "\\x00");
  strcpy(FunctionKeys[9], "\\x1B\\x40");
  strcpy(FunctionKeys[11], "A\\qB\\xZZC\\");
  Open(0, 0, 2);
  // F10 comes as a system key; the menu mode it would start would swallow the next character.
  PostMessageA(field, WM_SYSKEYDOWN, VK_F10, 1);
  PostMessageA(field, WM_SYSKEYUP, VK_F10, 0xC0000001);
  PostMessageA(field, WM_CHAR, 'z', 1);
  ASSERT_TRUE(WaitFor([] { return Fake.directWrites.size() == 2; }));
  Key(VK_F1);
  Key(VK_F3);
  EXPECT_EQ((std::vector<std::string>{"\x1B\x40", "z", "AB\r\n"}), Fake.directWrites);

  PostMessageA(dlg, WM_CLOSE, 0, 0);
  ASSERT_TRUE(DialogGone(dlg));
  Fake.directWrites.clear();
  PostCommand(IDM_FKEY_FIRST + 1);
  PostCommand(IDM_FKEY_FIRST + 2);
  PostCommand(IDM_FKEY_FIRST + 11);
  PostCommand(IDM_FKEY_FIRST);
  ASSERT_TRUE(WaitFor([] { return Fake.directWrites.size() == 3; }));
  EXPECT_EQ((std::vector<std::string>{std::string(1, '\0'), "ABC", "AB\r\n"}), Fake.directWrites);

  Fake.directWrites.clear();
  const unsigned char text[] = "hi";
  EXPECT_EQ(0, DirectSend(text, -1));
  EXPECT_EQ(1, DirectSend((const unsigned char*)"", 0));
  EXPECT_EQ(1, DirectSend(text, 0));
  CurrentInterfaceKind = IF_NONE;
  EXPECT_EQ(1, DirectSend(text, 2));
  CurrentInterfaceKind = IF_KINDS;
  EXPECT_EQ(0, DirectSend(text, 2));
  CurrentInterfaceKind = IF_RS232C;
  EXPECT_EQ((std::vector<std::string>{"hi"}), Fake.directWrites) << "direct sends go to the current kind only";

  PostCommand(IDM_DISCONNECT);
  ASSERT_TRUE(WaitFor([] { return Ports[IF_RS232C].connected == 0; }));
  PostCommand(IDM_KEY_INPUT);
  EXPECT_EQ(NULL, WaitDialog("Data transmission by the keyboard input", 500)) << "key input opens only while connected";
}
