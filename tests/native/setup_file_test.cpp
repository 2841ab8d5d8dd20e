#include "ports/ieee1284/setup_file.h"

#include "tests/native/test_util.h"

TEST(SetupFileNumber, HexAndDecimalGrammar) {
  const struct {
    const char* text;
    uint32_t value;
  } cases[] = {
      {"0x400", 1024},        {"1024", 1024},          {"0x1G", 0x10},          {"12ab", 12},
      {"", 0},                {"ab", 0},               {"-5", 0},               {"0X1f", 0x1F},
      {"0xFFFFFFFF", ~0u},    {"0x123456789", 0x12345678}, {"4294967296", 0}, {"12345678901", 1234567890},
      {"0x", 0},              {"0", 0},                {"007", 7},
  };
  for (const auto& c : cases) EXPECT_EQ(SetupNumber(c.text), c.value) << c.text;
}

TEST(SetupFileProfile, SectionsKeysAndBlanksAsTheProfileCallsReadThem) {
  std::string text =
      "; comment\r\nServiceName=outside\r\n[other]\r\nServiceName=wrong\r\n"
      "[ addservices ]\r\n  ServiceName =  \"Kel vane\"  \r\nservicename=second\r\nDisplayName=abcdef\n"
      "[AddServices]\nTagID=9\n";
  EXPECT_EQ(ProfileValue(text, "AddServices", "SERVICENAME", 256), "Kel vane");
  EXPECT_EQ(ProfileValue(text, "AddServices", "DisplayName", 4), "abc");
  // Only the first section of a name is read, as the profile calls do.
  EXPECT_EQ(ProfileValue(text, "AddServices", "TagID", 256), "");
  EXPECT_EQ(ProfileValue(text, "Missing", "ServiceName", 256), "");
}

TEST(SetupFileAddServices, DefaultsNumbersAndTheDependencyList) {
  ServiceSetup s;
  ReadAddServices("[AddServices]\r\nDependencies=a,b\r\nStartType=0x3\r\n", &s);
  EXPECT_EQ(s.hasTag, 0);
  EXPECT_EQ(s.serviceType, 1u);
  EXPECT_EQ(s.startType, 3u);
  EXPECT_EQ(s.errorControl, 1u);
  EXPECT_EQ(s.displayName, "Kelvane");
  EXPECT_EQ(s.dependencies, std::string("a\0b\0\0", 5));

  ReadAddServices("[AddServices]\r\nTagID=0\r\nServiceType=0x10\r\nBinaryPathName=system32\\drivers\\Kelvane.sys\r\n", &s);
  EXPECT_EQ(s.hasTag, 1);
  EXPECT_EQ(s.tag, 0u);
  EXPECT_EQ(s.serviceType, 16u);
  EXPECT_EQ(s.binaryPathName, "system32\\drivers\\Kelvane.sys");
  EXPECT_EQ(s.dependencies, std::string(2, '\0'));

  // A list that fills its 255 characters still ends with both terminators.
  std::string names;
  while (names.size() < 300) names += "abcdefg,";
  ReadAddServices("[AddServices]\nDependencies=" + names + "\n", &s);
  ASSERT_EQ(s.dependencies.size(), 257u);
  EXPECT_EQ(s.dependencies.substr(255), std::string(2, '\0'));
}

TEST(SetupFileAddReg, EntriesTypesAndData) {
  std::vector<RegEntry> e;
  ASSERT_EQ(ReadAddReg("[AddReg]\r\n"
                       "HKLM,REG_DWORD,System\\Kelvane\\Parameters,BlockSize=0x400\r\n"
                       "hklm,REG_DWORD,System\\Kelvane\\Parameters,Other=1024\r\n"
                       "HKLM,REG_SZ,S,DosDevice=LPT1\r\n"
                       "HKLM,REG_MULTI_SZ,S,Names=a b\r\n"
                       "HKCU,REG_SZ,S,Empty=\r\n"
                       "XX,REG_NONE,S,Name,with,commas=7\r\n"
                       "HKCL,reg_dword_big_endian,S,Big=1\r\n"
                       "HKLM ,REG_QWORD,S,Q=1\r\n",
                       &e),
            1);
  ASSERT_EQ(e.size(), 7u);
  EXPECT_EQ(e[0].root, ROOT_HKLM);
  EXPECT_EQ(e[0].type, 4u);
  EXPECT_EQ(e[0].subKey, "System\\Kelvane\\Parameters");
  EXPECT_EQ(e[0].valueName, "BlockSize");
  EXPECT_EQ(e[0].data, std::string("\x00\x04\x00\x00", 4));
  EXPECT_EQ(e[1].data, e[0].data);
  EXPECT_EQ(e[2].type, 1u);
  EXPECT_EQ(e[2].data, std::string("LPT1\0", 5));
  EXPECT_EQ(e[3].type, 7u);
  EXPECT_EQ(e[3].data, std::string(4, '\0'));
  EXPECT_EQ(e[4].root, ROOT_NONE);
  EXPECT_EQ(e[4].type, 0u);
  EXPECT_EQ(e[4].valueName, "Name,with,commas");
  EXPECT_EQ(e[5].root, ROOT_HKCL);
  EXPECT_EQ(e[5].type, 5u);
  EXPECT_EQ(e[6].root, ROOT_NONE) << "roots and types are matched whole, in any case";
  EXPECT_EQ(e[6].type, 0u);
  // A line of three fields fails the section, as does a section with no keys.
  e.clear();
  EXPECT_EQ(ReadAddReg("[AddReg]\nHKLM,REG_SZ,A,B=1\nHKLM,REG_SZ,NoName=1\nHKLM,REG_SZ,C,D=2\n", &e), 0);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].subKey, "A");
  e.clear();
  EXPECT_EQ(ReadAddReg("[AddReg]\n; nothing\n[AddServices]\nA,B,C,D=1\n", &e), 0);
  EXPECT_EQ(ReadAddReg("", &e), 0);
  EXPECT_TRUE(e.empty());
}
