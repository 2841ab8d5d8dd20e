#include "tests/win/harness.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "send/driver.h"
#include <gtest/gtest.h>
#include <atomic>
#include <thread>

class Capture : public AppTest {};

// An empty name is refused. The receive thread writes while the user ends and starts
// preservation: no false write error, no count left behind, every file holds whole chunks.
TEST_F(Capture, AnEmptyNameIsRefusedAndEndingWhileChunksArriveIsClean) {
  HWND dlg = OpenCaptureDialog();
  ASSERT_TRUE(dlg != NULL);
  Click(dlg, IDOK);
  EXPECT_EQ("The file for preservation cannot be opened.", AnswerMessageBox("Error", IDOK));
  EXPECT_EQ(0, PreservationFlag);

  RcvDsp = 0;
  std::atomic<bool> run{true};
  std::thread receiver([&] {
    std::string chunk(512, 'r');
    while (run) ReceivedDataSink(IF_RS232C, (const unsigned char*)chunk.data(), (int)chunk.size());
  });
  for (int i = 0; i < 8 && !HasFailure(); i++) {
    std::string path = folder + "\\cap" + std::to_string(i);
    ASSERT_TRUE(StartCapture(path));
    Sleep(10);
    PostCommand(IDM_SAVE_END);
    EXPECT_TRUE(WaitFor([] { return PreservationFlag == 0; }));
    EXPECT_EQ("<no message box>", AnswerMessageBox("Error", IDOK, 30));
    EXPECT_TRUE(WaitFor([] { return StatusText(2) == "Write          0 ( byte )"; }, 300)) << StatusText(2);
    EXPECT_EQ(0u, ReadBytes(path).size() % 512) << path;
  }
  run = false;
  while (WaitDialog("Error", 100)) AnswerMessageBox("Error", IDOK);
  receiver.join();
}
