// GetPrivateProfileStringA over INI files as panel developers write them.
#include <windows.h>

#include "test_support.h"

namespace {

using testing_support::ScratchFolder;

std::string read(const char* section, const char* key, const char* defaultValue, const std::string& file,
                 DWORD size = 128, DWORD* count = nullptr) {
  std::vector<char> buffer(size + 1, '#');
  const DWORD copied = GetPrivateProfileStringA(section, key, defaultValue, buffer.data(), size, file.c_str());
  if (count != nullptr) *count = copied;
  EXPECT_EQ(buffer[size], '#') << "wrote past the buffer";
  return buffer.data();
}

TEST(ProfilePlatform, ReadsValuesAsWindowsDoes) {
  platform::reset();
  ScratchFolder scratch;
  const std::string ini = scratch.write(
      "Gauges/panel.ini",
      "; comment line\r\n"
      "top=before any section\r\n"
      "[Config]\r\n"
      "  MaxSounds =  12  \r\n"
      "Empty=\r\n"
      "Quoted=\"a b \"\r\n"
      "Inline=value ; not a comment\r\n"
      "NoEquals\r\n"
      "[ sounds ]\r\n"
      "Sound00=Sound\\vek\\a.wav\r\n"
      "[Config]\r\n"
      "Later=second section of the same name\r\n");
  struct Case {
    const char* section;
    const char* key;
    const char* defaultValue;
    const char* expected;
  };
  const Case cases[] = {
      {"Config", "MaxSounds", "100", "12"},          {"CONFIG", "maxsounds", "100", "12"},
      {"Config", "Empty", "dflt", ""},               {"Config", "Missing", "dflt", "dflt"},
      {"Config", "Missing", nullptr, ""},            {"Config", "Quoted", "", "a b "},
      {"Config", "Inline", "", "value ; not a comment"}, {"Sounds", "Sound00", "", "Sound\\vek\\a.wav"},
      {"Nowhere", "Sound00", "d", "d"},              {"Config", "top", "d", "d"},
      {"Config", "Later", "d", "d"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    EXPECT_EQ(read(c.section, c.key, c.defaultValue, ini), c.expected);
  }
  // Windows paths as gauges pass them.
  EXPECT_EQ(read("Config", "MaxSounds", "x", ".\\Gauges\\panel.ini"), "12");
}

TEST(ProfilePlatform, CutsToTheBufferAndFallsBackForMissingFiles) {
  platform::reset();
  ScratchFolder scratch;
  const std::string ini = scratch.write("p.ini", "[S]\nK=abcdefgh\n");
  DWORD count = 0;
  EXPECT_EQ(read("S", "K", "", ini, 5, &count), "abcd");
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(read("S", "K", "", "./missing.ini"), "");
  EXPECT_EQ(read("S", "K", "fallback", "./missing.ini"), "fallback");
  EXPECT_EQ(read("S", "K", "0123456789", "./missing.ini", 5), "0123");

  // A bare file name is looked for in the Windows folder, not here.
  EXPECT_EQ(read("S", "K", "d", "p.ini"), "d");
  platform::setWindowsDirectory(scratch.path());
  EXPECT_EQ(read("S", "K", "d", "p.ini"), "abcdefgh");

  platform::failCall("GetPrivateProfileStringA");
  EXPECT_EQ(read("S", "K", "d", ini), "d");
  EXPECT_EQ(platform::injectedFailures(), 1);
}

}  // namespace
