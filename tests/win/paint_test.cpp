#include "tests/win/harness.h"
#include "common/resource.h"
#include "common/state.h"
#include <gtest/gtest.h>
#include <stdio.h>
#include <vector>

// What the display really shows: the virtual display keeps its frame buffer in an XWD file
// beside the test program (tools/test). A screenshot taken with `xwd -root` is no witness here:
// it shows a Wine window that lies over another one black, painted or not.
static std::string ScreenFile() {
  char path[MAX_PATH];
  GetModuleFileNameA(NULL, path, sizeof path);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of('\\')) + "\\screen\\Xvfb_screen0";
}

static unsigned Field(const unsigned char* header, int index) {
  const unsigned char* p = header + 4 * index;
  return (unsigned)p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

struct Shot {
  int face = 0, dark = 0, total = 0;  // pixels of the dialog colour, of text and lines, and all
};

// Counts the pixels of a screen rectangle; false when the file is not a 32-bit true-colour
// frame buffer holding it.
static bool CountPixels(const RECT& r, COLORREF face, Shot& shot) {
  FILE* file = fopen(ScreenFile().c_str(), "rb");
  if (!file) return false;
  unsigned char header[100];
  bool ok = fread(header, 1, sizeof header, file) == sizeof header;
  unsigned size = Field(header, 0), width = Field(header, 4), height = Field(header, 5);
  unsigned line = Field(header, 12), colours = Field(header, 19);
  ok = ok && size >= 100 && size < 4096 && colours < 65536 && Field(header, 11) == 32 && Field(header, 7) == 0 &&
       Field(header, 14) == 0xFF0000 && Field(header, 15) == 0xFF00 && Field(header, 16) == 0xFF &&
       width <= 16384 && height <= 16384 && line >= 4 * width && r.left >= 0 && r.top >= 0 && r.left < r.right &&
       r.top < r.bottom && (unsigned)r.right <= width && (unsigned)r.bottom <= height;
  std::vector<unsigned char> row(ok ? line : 0);
  shot = Shot();
  for (int y = r.top; ok && y < r.bottom; y++) {
    ok = fseek(file, (long)(size + colours * 12 + (unsigned long)y * line), SEEK_SET) == 0 &&
         fread(row.data(), 1, line, file) == line;
    for (int x = r.left; ok && x < r.right; x++) {
      const unsigned char* p = &row[4 * x];  // blue, green, red
      shot.face += RGB(p[2], p[1], p[0]) == face;
      shot.dark += p[0] + p[1] + p[2] < 3 * 128;
      shot.total++;
    }
  }
  fclose(file);
  return ok;
}

// Mostly the dialog colour, with the dark strokes of its texts, icon or button edges on it.
static bool ShowsControls(HWND dlg, Shot& shot) {
  RECT r;
  GetClientRect(dlg, &r);
  MapWindowPoints(dlg, NULL, (POINT*)&r, 2);
  return CountPixels(r, GetSysColor(COLOR_3DFACE), shot) && shot.face * 2 > shot.total &&
         shot.dark * 200 > shot.total;
}

class Paint : public AppTest {};

// A modal dialog and a message box, both owned by the main window and placed over it.
TEST_F(Paint, OwnedDialogsShowTheirControlsOnTheDisplay) {
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ScreenFile().c_str())) << "no frame buffer file";
  struct Case {
    const char* title;
    std::function<void()> open;
    int close;
  } cases[] = {
      {"Version information and a restriction matter", [] { PostCommand(IDM_ABOUT); }, IDOK},
      {"End check", [] { PostMessageA(hMainWnd, WM_CLOSE, 0, 0); }, IDNO},
  };
  for (const Case& c : cases) {
    c.open();
    HWND dlg = WaitDialog(c.title);
    ASSERT_TRUE(dlg != NULL) << c.title;
    EXPECT_EQ(hMainWnd, GetWindow(dlg, GW_OWNER)) << c.title;
    Shot shot;
    EXPECT_TRUE(WaitFor([&] { return ShowsControls(dlg, shot); })) << c.title << ": of " << shot.total
        << " pixels " << shot.face << " in the dialog colour, " << shot.dark << " dark";
    PostMessageA(dlg, WM_COMMAND, c.close, (LPARAM)GetDlgItem(dlg, c.close));
    EXPECT_TRUE(DialogGone(dlg)) << c.title;
  }
}
