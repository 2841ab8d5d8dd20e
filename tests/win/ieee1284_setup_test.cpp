#include "tests/win/harness.h"
#include "ports/ieee1284/ieee1284.h"
#include <gtest/gtest.h>
#include <string>
#include <thread>

static const char MISSING_FILE[] =
    "A file required in order to use LPT is not found. \n Please log in by the user with administrator authority. "
    "\n Please copy Kelvane.dat and an Kelvane.sys file into the same holder as a tool. \n Please open again.";
static const char SERVICE_KEY[] = "System\\CurrentControlSet\\Services\\Kelvane";
static const char PARAMETER_KEY[] = "System\\CurrentControlSet\\Services\\Kelvane\\Parameters";

static std::string SystemFile(const char* name) {
  char dir[MAX_PATH];
  GetSystemDirectoryA(dir, sizeof dir);
  return std::string(dir) + "\\" + name;
}

// Whether the Kelvane service exists; removed first when asked.
static bool ServiceExists(bool remove = false) {
  SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = OpenServiceA(manager, "Kelvane", SERVICE_ALL_ACCESS);
  if (service && remove) DeleteService(service);
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return service != NULL;
}

static bool ParameterWritten(const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PARAMETER_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  bool found = RegQueryValueExA(key, name, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

// The prefix's service database, registry and system folder as before the setup ran.
static void RemoveDriverSetup() {
  ServiceExists(true);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, PARAMETER_KEY);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, SERVICE_KEY);
  DeleteFileA(SystemFile("Kelvane.dat").c_str());
  DeleteFileA(SystemFile("drivers\\Kelvane.sys").c_str());
}

// Read where it is kept in the sources (the build folder is build/win): the copy beside
// the programs is only as safe as whatever else runs in the build folder.
static std::string ShippedSetupFile() {
  char exe[MAX_PATH];
  GetModuleFileNameA(NULL, exe, sizeof exe);
  std::string dir(exe);
  return ReadBytes(dir.substr(0, dir.find_last_of('\\')) + "\\..\\..\\ports\\ieee1284\\Kelvane.dat");
}

// The setup runs on its own thread, as inside the modal dialog; this thread answers its box.
class Ieee1284Setup : public testing::Test {
 protected:
  void SetUp() override {
    folder = FreshFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
    RemoveDriverSetup();
  }
  void TearDown() override { RemoveDriverSetup(); }
  // The message box the setup shows ("" for none) and its result.
  std::string RunSetup(int* result) {
    std::thread setup([&] { *result = ParallelDriverSetup(NULL); });
    std::string text = AnswerMessageBox("Error", IDOK, 20000);
    setup.join();
    return text;
  }
  std::string folder;
};

// Without the device defined, every failure of the setup ends in its message box, and a
// failed [AddReg] leaves no service behind.
TEST_F(Ieee1284Setup, EachFailureShowsItsMessageAndCleansUp) {
  WriteBytes(folder + "\\Kelvane.sys", "not a driver");
  int result = -1;
  EXPECT_EQ("file copy N.G.", RunSetup(&result));
  EXPECT_EQ(0, result);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(SystemFile("drivers\\Kelvane.sys").c_str()));

  std::string shipped = ShippedSetupFile();
  ASSERT_NE(std::string::npos, shipped.find("I-Prime"));
  const struct {
    const char* name;
    std::string file;
    bool serviceLeft;
  } cases[] = {
      {"three fields", shipped + "HKLM,REG_SZ,NoValueName=x\r\n", false},
      {"I-Prime missing", shipped.substr(0, shipped.find("HKLM,REG_DWORD,System\\CurrentControlSet\\Services\\Kelvane\\Parameters,I-Prime")), false},
      {"start refused", shipped, true},
  };
  for (const auto& c : cases) {
    WriteBytes(folder + "\\Kelvane.dat", c.file);
    result = -1;
    EXPECT_EQ(MISSING_FILE, RunSetup(&result)) << c.name;
    EXPECT_EQ(0, result) << c.name;
    EXPECT_EQ(c.serviceLeft, ServiceExists()) << c.name;
    EXPECT_EQ(c.serviceLeft, ParameterWritten("I-Prime")) << c.name;
    EXPECT_EQ(c.file, ReadBytes(SystemFile("Kelvane.dat"))) << c.name;
    RemoveDriverSetup();
  }
}
