// Drives the real main window from a test: the program runs on its own UI thread in this
// process, the test finds its windows and dialogs and works them as a user would.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>

std::string FreshFolder(const char* name);  // empty folder under the build tree; becomes the current directory
void StartApp();
void StopApp();                             // "Processing end", waits for the UI thread
// "Processing end" alone, as the user gives it; false when the UI thread still runs after ms.
bool EndAppWithin(int ms);
void PostCommand(int id);
bool WaitFor(const std::function<bool()>& condition, int ms = 5000);

// A visible dialog or message box of this process, or of the process `pid`.
HWND WaitDialog(const char* title, int ms = 5000, DWORD pid = 0);
bool DialogGone(HWND dlg, int ms = 5000);
void SetText(HWND dlg, int id, const std::string& text);
std::string Text(HWND dlg, int id);
void Click(HWND dlg, int id);                // posted, so a click that opens a modal box does not block
void SetCheck(HWND dlg, int id, bool on);    // clicks the box when its state differs
bool IsChecked(HWND dlg, int id);
bool IsEnabled(HWND dlg, int id);
std::string AnswerMessageBox(const char* title, int button, int ms = 5000);  // returns the box's text

std::vector<std::string> LogLines();
int LineCount(const std::string& line);
bool WaitLine(const std::string& line, int times = 1, int ms = 5000);
bool HasLine(const std::string& line);
std::vector<std::string> LinesWith(const std::string& part);
std::string LogDump();  // the whole log, one indented line each, for a failure message
std::string StatusText(int part);
bool MenuEnabled(int id);
bool ToolbarEnabled(int id);
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
struct SimDevice;
std::string DeviceKept(SimDevice* device);  // what a simulated device's printer has taken so far

// The "TCP/IP(Network)" dialog, once asked for: filled as a user would and confirmed; true when it closed.
bool ConfirmTcpipDialog(const std::string& host, int port, bool bidirectional, bool reconnect = false,
                        bool check = false);

// The path typed into a file dialog's name field and confirmed; true once the dialog closed.
bool ChooseInFileDialog(const char* title, const std::string& path, DWORD pid = 0);

// What the shell hands a drop target; posted when the drop may open a message box.
void DropOnDialog(HWND dlg, const std::vector<std::string>& paths, bool post = false);
std::vector<std::string> ListEntries(HWND dlg);
HWND OpenBlockDialog();
bool JobEnded(int ms = 5000);
// The block transmission dialog with only these files listed and the block size set.
HWND ListJob(const std::vector<std::string>& paths, const char* blockSize = "1");
// Drops the files, sets the options and presses "Transmission(&S)"; true when the job ended.
bool RunJob(const std::vector<std::string>& paths, int times = 1, const char* blockSize = "1", bool order = true);
// A job of the files started, with the time-out on when seconds are given; true while it runs.
bool StartJob(const std::vector<std::string>& paths, const char* blockSize, int timeOutSeconds = 0);

// Keyboard input: the dialog opened with these settings, and keys sent (not posted) to its entry field,
// so any write they cause is done when the call returns.
HWND OpenKeyInputDialog(int hex, int unit, int newline);
void TypeChars(HWND field, const char* chars);

HWND OpenCaptureDialog();
bool StartCapture(const std::string& path);  // true once preservation into the file is on

// The program started in a fresh folder named after the test.
class AppTest : public testing::Test {
 protected:
  void SetUp() override;
  virtual void BeforeStart() {}  // in the fresh folder, before the program starts
  void TearDown() override;  // also resets what a test may change and a new start does not reload
  std::string File(const std::string& name, const std::string& bytes);  // written into the folder; its path
  std::string folder;
};

// The fake driver in the RS-232C slot, connected.
class FakePortTest : public AppTest {
 protected:
  void SetUp() override;
  void BeforeStart() override;
  void TearDown() override;
};

// The simulated printer listening on a loopback port.
class PrinterTest : public AppTest {
 protected:
  void BeforeStart() override;
  void TearDown() override;
  // Ctrl+T and the dialog, as a user connects; returns once both ends hold the connection.
  void Connect(bool bidirectional = false, bool reconnect = false, bool check = false);
  int port = 0;
};
