#include "tests/win/harness.h"
#include "tests/win/fake_driver.h"
#include "common/resource.h"
#include "send/engine.h"
#include <gtest/gtest.h>

class BlockDialog : public FakePortTest {
 protected:
  void SetUp() override {
    FakePortTest::SetUp();
    if (HasFatalFailure()) return;
    dlg = OpenBlockDialog();
    ASSERT_TRUE(dlg);
  }
  // Presses "Transmission(&S)"; the text the field shows afterwards while the dialog stays.
  std::string TransmitCorrects(int id) {
    Click(dlg, IDOK);
    Sleep(300);
    return IsWindowVisible(dlg) ? Text(dlg, id) : "<closed>";
  }
  // A button pressed and carried out before the next step (Click only posts it).
  void Press(int id) { SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dlg, id)); }
  void Select(const std::vector<int>& entries) {
    HWND list = GetDlgItem(dlg, IDC_BLK_LIST);
    SendMessageA(list, LB_SETSEL, FALSE, -1);
    for (int entry : entries) SendMessageA(list, LB_SETSEL, TRUE, entry);
  }
  HWND dlg = NULL;
};

TEST_F(BlockDialog, TransmissionCorrectsOutOfRangeFieldsAndHighSpeedTurnsOffTheRest) {
  const struct { int box, id; const char *typed, *shown; } corrections[] = {
      {IDC_BLK_TIMEOUT_ON, IDC_BLK_TIMEOUT, "0", "300"}, {IDC_BLK_TIMEOUT_ON, IDC_BLK_TIMEOUT, "301", "300"},
      {IDC_BLK_WAIT_ON, IDC_BLK_WAIT, "3", "5"},         {IDC_BLK_WAIT_ON, IDC_BLK_WAIT, "500", "300"},
      {0, IDC_BLK_SIZE, "0", "1"},                       {0, IDC_BLK_TIMES, "0", "1"},
      {0, IDC_BLK_DELAY, "10001", "0"},                  {0, IDC_BLK_DELAY, "10000", "10000"},  // the list is empty
  };
  for (const auto& c : corrections) {
    if (c.box) SetCheck(dlg, c.box, true);
    SetText(dlg, c.id, c.typed);
    EXPECT_EQ(c.shown, TransmitCorrects(c.id)) << c.typed;
    if (c.box) SetCheck(dlg, c.box, false);
  }
  EXPECT_TRUE(WaitDialog("Error", 300) == NULL);
  EXPECT_TRUE(LogLines().empty());

  const int slowOnly[] = {IDC_BLK_TIMEOUT_ON, IDC_BLK_TIMEOUT, IDC_BLK_WAIT_ON, IDC_BLK_WAIT, IDC_BLK_DELAY};
  SetCheck(dlg, IDC_BLK_TIMEOUT_ON, true);
  SetCheck(dlg, IDC_BLK_WAIT_ON, true);
  SetCheck(dlg, IDC_BLK_HIGH_SPEED, true);
  for (int id : slowOnly) EXPECT_FALSE(IsEnabled(dlg, id)) << id;
  EXPECT_FALSE(IsChecked(dlg, IDC_BLK_TIMEOUT_ON) || IsChecked(dlg, IDC_BLK_WAIT_ON));
  EXPECT_EQ("0", Text(dlg, IDC_BLK_DELAY));
  SetCheck(dlg, IDC_BLK_HIGH_SPEED, false);
  for (int id : slowOnly) EXPECT_TRUE(IsEnabled(dlg, id)) << id;

  SetCheck(dlg, IDC_BLK_TIMEOUT_ON, true);
  SetText(dlg, IDC_BLK_TIMEOUT, "20");
  SetText(dlg, IDC_BLK_DELAY, "10000");
  DropOnDialog(dlg, {File("a.bin", "A")});
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg) && JobEnded());
  EXPECT_EQ("A", FakeReceived());
  EXPECT_EQ(10000, Ports[IF_RS232C].interval);
  dlg = OpenBlockDialog();
  ASSERT_TRUE(dlg);
  EXPECT_EQ("20", Text(dlg, IDC_BLK_TIMEOUT));
  EXPECT_EQ("10000", Text(dlg, IDC_BLK_DELAY));
  EXPECT_FALSE(IsChecked(dlg, IDC_BLK_TIMEOUT_ON));  // cleared at every opening but on TCP/IP
  Click(dlg, IDCANCEL);
  ASSERT_TRUE(DialogGone(dlg) && JobEnded());
}

// The list is edited in place; a list file round-trips and a bad one leaves the list alone;
// a path the file table cannot hold is refused with a message, never listed; a cancelled
// job leaves the list of the last started one.
TEST_F(BlockDialog, ListEditingListFilesLongPathsAndCancelKeepsTheLastJobsList) {
  std::string a = File("a.bin", "A"), b = File("b.bin", "B"), c = folder + "\\c", d = folder + "\\D";
  DropOnDialog(dlg, {b, a});
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg) && JobEnded());
  EXPECT_EQ("AB", FakeReceived());

  dlg = OpenBlockDialog();
  ASSERT_TRUE(dlg);
  DropOnDialog(dlg, {d, c});
  EXPECT_EQ(std::vector<std::string>({a, b, c, d}), ListEntries(dlg));
  Select({0, 1});
  Click(dlg, IDC_BLK_UP);
  EXPECT_EQ("It is one file that it can move. Please re-choose.", AnswerMessageBox("Error", IDOK));
  Select({0});
  Press(IDC_BLK_UP);
  Select({3});
  Press(IDC_BLK_DOWN);
  Select({1});
  Press(IDC_BLK_DOWN);
  EXPECT_EQ(std::vector<std::string>({a, c, b, d}), ListEntries(dlg));
  EXPECT_EQ(1, SendMessageA(GetDlgItem(dlg, IDC_BLK_LIST), LB_GETSEL, 2, 0));
  Select({0});
  DropOnDialog(dlg, {folder + "\\e"});  // a drop appends whatever is selected
  Select({0, 4});
  Press(IDC_BLK_DELETE);
  EXPECT_EQ(std::vector<std::string>({c, b, d}), ListEntries(dlg));
  Press(IDC_BLK_CLEAR);
  EXPECT_TRUE(ListEntries(dlg).empty());

  std::string listFile = folder + "\\files.lst", blank = folder + "\\blank.lst";
  WriteBytes(listFile, "first\rsecond\r\rthird");
  WriteBytes(blank, "\r\n\r\n");
  Click(dlg, IDC_BLK_CALL);
  ASSERT_TRUE(ChooseInFileDialog("Please choose a reading file.", listFile));
  std::vector<std::string> listed = {"first", "second", "third"};
  EXPECT_TRUE(WaitFor([&] { return ListEntries(dlg) == listed; }, 2000));
  EXPECT_EQ(listFile, Text(dlg, IDC_BLK_RECORD_NAME));

  Click(dlg, IDC_BLK_CALL);
  ASSERT_TRUE(ChooseInFileDialog("Please choose a reading file.", blank));
  EXPECT_EQ("A file was not able to be read.", AnswerMessageBox("Error", IDOK));
  EXPECT_EQ(listed, ListEntries(dlg));

  std::string saved = folder + "\\saved.lst";  // a new file: saving must not need one already there
  Click(dlg, IDC_BLK_PRESERVE);
  ASSERT_TRUE(ChooseInFileDialog("Please choose a preservation file.", saved));
  EXPECT_TRUE(WaitFor([&] { return ReadBytes(saved) == "first\r\nsecond\r\nthird\r\n"; }));
  EXPECT_EQ(saved, Text(dlg, IDC_BLK_RECORD_NAME));

  std::string fits = folder + "\\" + std::string(258 - folder.size(), 'f');
  std::string tooLong = folder + "\\" + std::string(300, 'x'), after = folder + "\\a";
  ASSERT_EQ(259u, fits.size());
  DropOnDialog(dlg, {fits, tooLong, after}, true);
  std::string text = AnswerMessageBox("Error", IDOK);
  EXPECT_NE(std::string::npos, text.find("259")) << text;
  EXPECT_NE(std::string::npos, text.find(tooLong)) << text;
  listed.insert(listed.end(), {after, fits});
  EXPECT_TRUE(WaitFor([&] { return ListEntries(dlg) == listed; }, 1000));
  size_t logged = LogLines().size();
  Click(dlg, IDCANCEL);
  ASSERT_TRUE(DialogGone(dlg) && JobEnded());
  EXPECT_EQ(logged, LogLines().size());

  dlg = OpenBlockDialog();
  ASSERT_TRUE(dlg);
  EXPECT_EQ(std::vector<std::string>({a, b}), ListEntries(dlg));
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg) && JobEnded());
  EXPECT_EQ("ABAB", FakeReceived());
}
