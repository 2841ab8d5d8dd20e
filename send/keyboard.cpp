#include "send/keyboard.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "send/direct_send.h"
#include "send/escape.h"
#include "send/function_keys.h"
#include "terminal/log.h"

static const char* const newlineCodes[3] = {"\r", "\n", "\r\n"};
static const int newlineButtons[3] = {IDC_KEY_CR, IDC_KEY_LF, IDC_KEY_CRLF};
static const int unitButtons[2] = {IDC_KEY_CHAR_UNIT, IDC_KEY_LINE_UNIT};

static HWND keyDialog, entryField;
static WNDPROC fieldProc;
static char pendingHexDigit;  // the first digit of a hex pair, 0 when none is awaited
static HBRUSH blueBrush, redBrush;

static void SendNewlineCode() { DirectSend((const unsigned char*)newlineCodes[KEYINNewlineCode], 0); }

static void SendLine() {
  char text[KEY_TEXT_SIZE] = "";
  GetWindowTextA(entryField, text, sizeof text);
  SetWindowTextA(entryField, "");
  if (!text[0]) {
    SendNewlineCode();
    return;
  }
  unsigned char bytes[KEY_TEXT_SIZE];
  char errorLine[KEY_TEXT_SIZE];
  int count = ParseKeyboardLine(text, bytes, errorLine);
  if (count < 0)
    AppendDisplayLine(errorLine);
  else if (count > 0)
    DirectSend(bytes, count);
}

static void ShowEntryMode(HWND dlg) {
  int ascii = KEYINHexFlag == 0;
  CheckDlgButton(dlg, IDC_KEY_HEX, ascii ? BST_UNCHECKED : BST_CHECKED);
  static const int settingControls[] = {IDC_KEY_NEWLINE_GROUP, IDC_KEY_CR,         IDC_KEY_LF,       IDC_KEY_CRLF,
                                        IDC_KEY_UNIT_GROUP,    IDC_KEY_CHAR_UNIT, IDC_KEY_LINE_UNIT};
  for (int id : settingControls) EnableWindow(GetDlgItem(dlg, id), ascii);
  ShowWindow(GetDlgItem(dlg, IDC_KEY_ASC), ascii ? SW_SHOW : SW_HIDE);
  ShowWindow(GetDlgItem(dlg, IDC_KEY_HEX_LABEL), ascii ? SW_HIDE : SW_SHOW);
  InvalidateRect(entryField, NULL, TRUE);
}

static void ShowSettings(HWND dlg) {
  for (int i = 0; i < 3; i++) CheckDlgButton(dlg, newlineButtons[i], KEYINNewlineCode == i);
  for (int i = 0; i < 2; i++) CheckDlgButton(dlg, unitButtons[i], KEYINSendType == i);
  ShowEntryMode(dlg);
}

static void HexCodeClicked(HWND dlg) {
  KEYINHexFlag = IsDlgButtonChecked(dlg, IDC_KEY_HEX) == BST_CHECKED;
  if (KEYINHexFlag) KEYINSendType = 0;
  ShowSettings(dlg);
}

static void RestartEntry() {
  SetWindowTextA(entryField, "");
  SetFocus(entryField);
  pendingHexDigit = 0;
}

static int SettingCommand(HWND dlg, int id) {
  switch (id) {
    case IDC_KEY_HEX: HexCodeClicked(dlg); break;
    case IDC_KEY_CR: KEYINNewlineCode = 0; break;
    case IDC_KEY_LF: KEYINNewlineCode = 1; break;
    case IDC_KEY_CRLF: KEYINNewlineCode = 2; break;
    case IDC_KEY_CHAR_UNIT: KEYINSendType = 0; break;
    case IDC_KEY_LINE_UNIT: KEYINSendType = 1; break;
    default: return 0;
  }
  RestartEntry();
  return 1;
}

static void EnterPressed() {
  if (KEYINHexFlag) return;
  if (KEYINSendType == 0)
    SendNewlineCode();
  else
    SendLine();
}

static void KeyDown(WPARAM key) {
  if (key == VK_RETURN)
    EnterPressed();
  else if (key == VK_INSERT) {
    CheckDlgButton(keyDialog, IDC_KEY_HEX, KEYINHexFlag ? BST_UNCHECKED : BST_CHECKED);
    SettingCommand(keyDialog, IDC_KEY_HEX);
  } else if (key >= VK_F1 && key <= VK_F12 && key != VK_F10)
    SendFunctionKey((int)(key - VK_F1) + 1);
}

// The dialog's part of a character, before the field shows it.
static void CharTyped(char c) {
  if (KEYINHexFlag) {
    if (!pendingHexDigit) {
      SetWindowTextA(entryField, "");
      pendingHexDigit = c;
      return;
    }
    unsigned char byte = HexPairValue(pendingHexDigit, c);
    pendingHexDigit = 0;
    DirectSend(&byte, 1);
  } else if (KEYINSendType == 0 && c != '\r' && c != '\b') {
    // Sent with its length, so that a typed NUL (Ctrl+@) is not lost.
    DirectSend((const unsigned char*)&c, 1);
  }
}

// Returns 1 when the field is to show the character.
static int FilterChar(char c) {
  if (KEYINHexFlag && HexDigitValue((unsigned char)c) < 0) return 0;
  if (!KEYINHexFlag && KEYINSendType == 0) SetWindowTextA(entryField, "");
  CharTyped(c);
  // A line break in the field would start the next line; the line is taken on Enter's key-down.
  return c != '\r' && c != '\n';
}

static LRESULT CALLBACK EntryFieldProc(HWND field, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_KEYDOWN:
      KeyDown(wParam);
      if (wParam == VK_RETURN) return 0;
      break;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F10) SendFunctionKey(10);
      break;
    case WM_CHAR:
      if (!FilterChar((char)wParam)) return 0;
      break;
  }
  return CallWindowProcA(fieldProc, field, msg, wParam, lParam);
}

static INT_PTR ColourControl(HWND control, HDC dc) {
  int id = GetDlgCtrlID(control);
  if (id == IDC_KEY_ENTRY) {
    SetTextColor(dc, KEYINHexFlag ? RGB(255, 0, 0) : RGB(0, 0, 255));
    SetBkMode(dc, TRANSPARENT);
    return (INT_PTR)GetStockObject(NULL_BRUSH);
  }
  if (id != IDC_KEY_ASC && id != IDC_KEY_HEX_LABEL) return FALSE;
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkColor(dc, id == IDC_KEY_ASC ? RGB(0, 0, 255) : RGB(255, 0, 0));
  return (INT_PTR)(id == IDC_KEY_ASC ? blueBrush : redBrush);
}

// A hand-edited settings file may hold anything; the controls show one valid choice each.
static void NormaliseSettings() {
  if (KEYINNewlineCode < 0 || KEYINNewlineCode > 2) KEYINNewlineCode = 2;
  if (KEYINSendType != 1) KEYINSendType = 0;
  if (KEYINHexFlag != 0) KEYINHexFlag = 1;
  if (KEYINHexFlag) KEYINSendType = 0;
}

static void OpenDialog(HWND dlg) {
  keyDialog = dlg;
  entryField = GetDlgItem(dlg, IDC_KEY_ENTRY);
  fieldProc = (WNDPROC)SetWindowLongPtrA(entryField, GWLP_WNDPROC, (LONG_PTR)EntryFieldProc);
  SendMessageA(entryField, EM_LIMITTEXT, KEY_TEXT_SIZE - 1, 0);
  blueBrush = CreateSolidBrush(RGB(0, 0, 255));
  redBrush = CreateSolidBrush(RGB(255, 0, 0));
  pendingHexDigit = 0;
  NormaliseSettings();
  ShowSettings(dlg);
  SetFocus(entryField);
}

static INT_PTR CALLBACK KeyboardDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: OpenDialog(dlg); return FALSE;
    case WM_COMMAND:
      return HIWORD(wParam) == BN_CLICKED && SettingCommand(dlg, LOWORD(wParam));
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: return ColourControl((HWND)lParam, (HDC)wParam);
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != SC_KEYMENU) return FALSE;
      SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_CLOSE: EndDialog(dlg, 0); return TRUE;
    case WM_DESTROY:
      DeleteObject(blueBrush);
      DeleteObject(redBrush);
      keyDialog = entryField = NULL;
      return FALSE;
  }
  return FALSE;
}

void KeyboardInputDialog(HWND owner) {
  DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_KEYBOARD), owner, KeyboardDialogProc, 0);
}
