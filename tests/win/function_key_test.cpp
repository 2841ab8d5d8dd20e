#include "tests/win/harness.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include <gtest/gtest.h>
#include <string.h>

static const int fields[12] = {IDC_FK_F1, IDC_FK_F2, IDC_FK_F3, IDC_FK_F4,  IDC_FK_F5,  IDC_FK_F6,
                               IDC_FK_F7, IDC_FK_F8, IDC_FK_F9, IDC_FK_F10, IDC_FK_F11, IDC_FK_F12};

class FunctionKey : public AppTest {
 protected:
  void Open() {
    PostCommand(IDM_FUNCTION_KEY);
    dlg = WaitDialog("A setup of a function key");
    ASSERT_TRUE(dlg != NULL);
  }
  std::vector<std::string> Fields() {
    std::vector<std::string> texts;
    for (int id : fields) texts.push_back(Text(dlg, id));
    return texts;
  }
  HWND dlg = NULL;
};

// A raw line break would split the key's line in the settings file and shift every later key.
TEST_F(FunctionKey, OkRefusesRawLineBreaksAndBadEscapesCancelKeepsTheTableFilesComeBack) {
  strcpy(FunctionKeys[1], "kept");
  Open();
  EXPECT_EQ("kept", Text(dlg, IDC_FK_F2));
  SetText(dlg, IDC_FK_F1, "new\\r\\n");
  SetText(dlg, IDC_FK_F4, "ab\r\ncd");
  Click(dlg, IDOK);
  EXPECT_EQ("A line break cannot be put in a function key. Please write it as \\r or \\n.",
            AnswerMessageBox("Error", IDOK));
  EXPECT_TRUE(IsWindowVisible(dlg));
  EXPECT_STREQ("", FunctionKeys[0]);

  SetText(dlg, IDC_FK_F4, "");
  SetText(dlg, IDC_FK_F3, "ab\\qc");
  SetText(dlg, IDC_FK_F5, "\\xZ");
  Click(dlg, IDOK);
  EXPECT_EQ("An escape character is inaccurate.", AnswerMessageBox("Error", IDOK));
  DWORD start = 0, end = 0;
  SendDlgItemMessageA(dlg, IDC_FK_F3, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
  EXPECT_EQ(2u, start);
  EXPECT_EQ(4u, end);
  GUITHREADINFO ui = {};
  ui.cbSize = sizeof ui;
  GetGUIThreadInfo(GetWindowThreadProcessId(dlg, NULL), &ui);
  EXPECT_EQ(GetDlgItem(dlg, IDC_FK_F3), ui.hwndFocus);
  EXPECT_TRUE(IsWindowVisible(dlg));
  EXPECT_STREQ("", FunctionKeys[0]);

  SetText(dlg, IDC_FK_F3, "x\\x41");
  SetText(dlg, IDC_FK_F5, "");
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg));
  EXPECT_STREQ("new\\r\\n", FunctionKeys[0]);
  EXPECT_STREQ("kept", FunctionKeys[1]);
  EXPECT_STREQ("x\\x41", FunctionKeys[2]);

  Open();
  Click(dlg, IDC_FK_CLEAR);
  EXPECT_TRUE(WaitFor([&] { return Fields() == std::vector<std::string>(12); }));
  Click(dlg, IDCANCEL);
  ASSERT_TRUE(DialogGone(dlg));
  EXPECT_STREQ("kept", FunctionKeys[1]);

  // Saved fields come back, and a malformed file changes nothing.
  Open();
  SetText(dlg, IDC_FK_F1, "a\\r");
  SetText(dlg, IDC_FK_F12, "z,z");
  std::string path = folder + "\\keys.txt";
  Click(dlg, IDC_FK_SAVE);
  ASSERT_TRUE(ChooseInFileDialog("Please choose a preservation file.", path));
  EXPECT_TRUE(WaitFor([&] { return ReadBytes(path).find("12,z,z\r\n") != std::string::npos; })) << ReadBytes(path);
  EXPECT_STREQ("new\\r\\n", FunctionKeys[0]) << "saving does not store";

  Click(dlg, IDC_FK_CLEAR);
  Click(dlg, IDC_FK_LOAD);
  ASSERT_TRUE(ChooseInFileDialog("Please choose a reading file.", path));
  EXPECT_TRUE(WaitFor([&] { return Text(dlg, IDC_FK_F12) == "z,z"; }));
  EXPECT_EQ("a\\r", Text(dlg, IDC_FK_F1));

  std::string single = folder + "\\single.txt";
  std::vector<std::string> loaded = Fields();
  WriteBytes(single, "01,a\r\n13,abc\r\n");
  Click(dlg, IDC_FK_LOAD);
  ASSERT_TRUE(ChooseInFileDialog("Please choose a reading file.", single));
  EXPECT_EQ("A file format is inaccurate.", AnswerMessageBox("Error", IDOK));
  EXPECT_EQ(loaded, Fields());
}
