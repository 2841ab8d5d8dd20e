// Drives the real main window from a test: the program runs on its own UI thread in this
// process, the test finds its windows and dialogs and works them as a user would.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

std::string FreshFolder(const char* name);  // empty folder under the build tree; becomes the current directory
void StartApp();
void StopApp();                             // "Processing end", waits for the UI thread
void PostCommand(int id);
bool WaitFor(const std::function<bool()>& condition, int ms = 5000);

HWND WaitDialog(const char* title, int ms = 5000);  // a visible dialog or message box of this process
bool DialogGone(HWND dlg, int ms = 5000);
void SetText(HWND dlg, int id, const std::string& text);
std::string Text(HWND dlg, int id);
void Click(HWND dlg, int id);                // posted, so a click that opens a modal box does not block
void SetCheck(HWND dlg, int id, bool on);    // clicks the box when its state differs
bool IsChecked(HWND dlg, int id);
bool IsEnabled(HWND dlg, int id);
std::string AnswerMessageBox(const char* title, int button, int ms = 5000);  // returns the box's text

std::vector<std::string> LogLines();
std::string StatusText(int part);
bool MenuEnabled(int id);
bool ToolbarEnabled(int id);
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
