// The simulated drive and system information: GetWindowsDirectoryA sizes,
// CopyFileA, DeleteFileA, the marker file operations, GetVersionExA.

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"

namespace netrevive::simulated_pc {
namespace {

TEST(SimWindowsDirectoryTest, BufferSizesAroundTheLength) {
  for (uint32_t n : {3u, 10u, 52u, 53u, 259u, 260u, 511u, 4096u, 32767u}) {
    SimMachine machine;
    std::string dir(n, 'W');
    dir.replace(0, 3, "C:\\");
    machine.set_windows_dir(dir);
    for (uint32_t size : {n - 2, n - 1, n, n + 1, n + 2}) {
      std::vector<char> buffer(n + 8, '\xDD');
      uint32_t result = machine.GetWindowsDirectoryA(buffer.data(), size);
      if (size >= n + 1) {
        EXPECT_EQ(result, n) << n << "/" << size;
        EXPECT_EQ(std::string(buffer.data()), dir);
        EXPECT_EQ(buffer[n + 1], '\xDD') << "wrote past the NUL";
      } else {
        EXPECT_EQ(result, n + 1) << n << "/" << size;
        EXPECT_EQ(buffer[0], '\xDD') << "wrote into a buffer that is too small";
      }
    }
    EXPECT_EQ(machine.GetWindowsDirectoryA(nullptr, 0), n + 1);
  }
}

TEST(SimWindowsDirectoryTest, BoundaryTableForTheDefaultDirectory) {
  SimMachine machine;  // "C:\WINDOWS", 10 characters
  struct Case {
    uint32_t size;
    uint32_t result;
    bool written;
  };
  const Case cases[] = {{9, 11, false}, {10, 11, false}, {11, 10, true},
                        {12, 10, true}, {64, 10, true},  {0, 11, false}};
  for (const Case& c : cases) {
    char buffer[80];
    memset(buffer, 0xDD, sizeof buffer);
    EXPECT_EQ(machine.GetWindowsDirectoryA(buffer, c.size), c.result) << c.size;
    if (c.written) {
      EXPECT_STREQ(buffer, "C:\\WINDOWS");
    } else {
      EXPECT_EQ(static_cast<uint8_t>(buffer[0]), 0xDD) << c.size;
    }
  }
}

class SimFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.PutFile("C:\\WINDOWS\\system.dat", "SYSTEM");
    machine_.PutFile("C:\\WINDOWS\\user.dat", "USER");
  }
  SimMachine machine_;
};

TEST_F(SimFilesTest, CopyFileHonoursFailIfExistsAndMissingSources) {
  struct Case {
    const char* from;
    const char* to;
    bool fail_if_exists;
    bool ok;
    RegStatus error;
  };
  const Case cases[] = {
      {"C:\\WINDOWS\\system.dat", "C:\\WINDOWS\\system.tom", false, true, 0},
      {"c:\\windows\\SYSTEM.DAT", "C:\\WINDOWS\\SYSTEM.TOM", true, false, kErrorFileExists},
      {"C:\\WINDOWS\\user.dat", "C:\\WINDOWS\\system.tom", false, true, 0},  // overwrites
      {"C:\\WINDOWS\\none.dat", "C:\\WINDOWS\\none.tom", false, false, kErrorFileNotFound},
      {"C:\\NOWHERE\\a.dat", "C:\\WINDOWS\\a.tom", false, false, kErrorPathNotFound},
      {"C:\\WINDOWS\\user.dat", "C:\\NOWHERE\\user.tom", false, false, kErrorPathNotFound},
      {"C:\\WINDOWS\\user.dat", "C:\\WINDOWS", false, false, kErrorAccessDenied},
      // Windows 9x refuses a read-only or hidden target (system.dat is both).
      {"C:\\WINDOWS\\user.dat", "C:\\WINDOWS\\ro.tom", false, false, kErrorAccessDenied},
      {"C:\\WINDOWS\\user.dat", "C:\\WINDOWS\\hidden.tom", false, false, kErrorAccessDenied},
      {"C:\\WINDOWS\\user.dat", "C:\\WINDOWS\\system.set", false, true, 0},
  };
  machine_.PutFile("C:\\WINDOWS\\ro.tom", "old");
  machine_.SetAttributes("C:\\WINDOWS\\ro.tom", kFileAttributeReadOnly);
  machine_.PutFile("C:\\WINDOWS\\hidden.tom", "old");
  machine_.SetAttributes("C:\\WINDOWS\\hidden.tom", kFileAttributeHidden);
  machine_.PutFile("C:\\WINDOWS\\system.set", "old");
  machine_.SetAttributes("C:\\WINDOWS\\system.set", kFileAttributeSystem);
  machine_.SetAttributes("C:\\WINDOWS\\user.dat", kFileAttributeHidden | kFileAttributeReadOnly);
  for (const Case& c : cases) {
    EXPECT_EQ(machine_.CopyFileA(c.from, c.to, c.fail_if_exists), c.ok) << c.from << c.to;
    EXPECT_EQ(machine_.last_error(), c.error) << c.from << " -> " << c.to;
  }
  std::string contents;
  ASSERT_TRUE(machine_.ReadFile("C:\\WINDOWS\\System.Tom", &contents));
  EXPECT_EQ(contents, "USER");
  EXPECT_FALSE(machine_.FileExists("C:\\WINDOWS\\none.tom"));
  // The file keeps the spelling it was created with.
  EXPECT_EQ(machine_.ListFiles(),
            std::vector<std::string>({"C:\\WINDOWS\\hidden.tom", "C:\\WINDOWS\\ro.tom",
                                      "C:\\WINDOWS\\system.dat", "C:\\WINDOWS\\system.set",
                                      "C:\\WINDOWS\\system.tom", "C:\\WINDOWS\\user.dat"}));
  // The copies took the source's attributes; the refused ones kept theirs.
  EXPECT_EQ(machine_.Attributes("C:\\WINDOWS\\system.tom"),
            kFileAttributeHidden | kFileAttributeReadOnly);
  EXPECT_EQ(machine_.Attributes("C:\\WINDOWS\\system.set"),
            kFileAttributeHidden | kFileAttributeReadOnly);
  EXPECT_EQ(machine_.Attributes("C:\\WINDOWS\\ro.tom"), kFileAttributeReadOnly);
  ASSERT_TRUE(machine_.ReadFile("C:\\WINDOWS\\ro.tom", &contents));
  EXPECT_EQ(contents, "old");
  // A read-only file can be neither deleted nor opened for writing until
  // its attributes are cleared.
  EXPECT_FALSE(machine_.DeleteFileA("C:\\WINDOWS\\ro.tom"));
  EXPECT_EQ(machine_.last_error(), kErrorAccessDenied);
  EXPECT_EQ(machine_.OpenFileForWrite("C:\\WINDOWS\\ro.tom"), kNoHandle);
  EXPECT_TRUE(machine_.SetFileAttributesA("C:\\WINDOWS\\ro.tom", kFileAttributeNormal));
  EXPECT_EQ(machine_.GetFileAttributesA("C:\\WINDOWS\\ro.tom"), 0u);
  EXPECT_TRUE(machine_.CopyFileA("C:\\WINDOWS\\system.dat", "C:\\WINDOWS\\ro.tom", false));
  EXPECT_TRUE(machine_.DeleteFileA("C:\\WINDOWS\\ro.tom"));
}

TEST_F(SimFilesTest, AttributesOfFilesFoldersAndMissingPaths) {
  machine_.SetAttributes("C:\\WINDOWS\\system.dat", 7);
  struct Case {
    const char* path;
    uint32_t attributes;
    RegStatus error;
  };
  const Case cases[] = {
      {"C:\\WINDOWS\\system.dat", 7, 0},
      {"c:\\windows\\USER.DAT", kFileAttributeArchive, 0},
      {"C:\\WINDOWS", kFileAttributeDirectory, 0},
      {"C:\\", kFileAttributeDirectory, 0},
      {"C:\\WINDOWS\\none.inf", kInvalidFileAttributes, kErrorFileNotFound},
      {"C:\\NOWHERE\\rna.inf", kInvalidFileAttributes, kErrorPathNotFound},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(machine_.GetFileAttributesA(c.path), c.attributes) << c.path;
    EXPECT_EQ(machine_.last_error(), c.error) << c.path;
  }
  EXPECT_FALSE(machine_.SetFileAttributesA("C:\\WINDOWS\\none.inf", kFileAttributeNormal));
  EXPECT_EQ(machine_.last_error(), kErrorFileNotFound);
  // Only the read-only, hidden, system and archive bits stay.
  EXPECT_TRUE(machine_.SetFileAttributesA("C:\\WINDOWS\\user.dat", 0xFFFF));
  EXPECT_EQ(machine_.Attributes("C:\\WINDOWS\\user.dat"), 0x27u);
}

// Short names as Windows 98 makes them, and failures for paths that do not
// exist; GetShortPathNameA's sizes as GetWindowsDirectoryA's.
TEST_F(SimFilesTest, ShortPathNames) {
  for (const char* file :
       {"C:\\Program Files\\QU Tools\\netrevive.exe", "C:\\Program Files\\QU Tools\\netrevive.ini",
        "C:\\Program Files\\QU Tools\\netreviver.exe", "C:\\Program Files\\a+b.c.d",
        "C:\\Programs\\x", "C:\\PROGRA~1.TXT", "C:\\NET\\.profile", "C:\\NET\\Read Me.text"}) {
    machine_.PutFile(file, "x");
  }
  struct Case {
    const char* path;
    const char* short_path;  // "" when missing
  };
  const Case cases[] = {
      {"C:\\Program Files\\QU Tools\\netrevive.exe", "C:\\PROGRA~1\\QUTOOL~1\\NETREV~1.EXE"},
      {"C:\\Program Files\\QU Tools\\netreviver.exe", "C:\\PROGRA~1\\QUTOOL~1\\NETREV~2.EXE"},
      {"C:\\Program Files\\QU Tools\\netrevive.ini", "C:\\PROGRA~1\\QUTOOL~1\\NETREV~1.INI"},
      {"c:\\program files\\a+b.c.d", "c:\\PROGRA~1\\A_BC~1.D"},
      {"C:\\Programs\\x", "C:\\PROGRAMS\\X"},
      {"C:\\WINDOWS\\system.dat", "C:\\WINDOWS\\SYSTEM.DAT"},
      {"C:\\NET\\.profile", "C:\\NET\\PROFIL~1"},
      {"C:\\NET\\Read Me.text", "C:\\NET\\README~1.TEX"},
      {"C:\\Program Files", "C:\\PROGRA~1"},
      {"C:\\Program Files\\none.exe", ""},
      {"C:\\Nowhere at all\\x", ""},
  };
  for (const Case& c : cases) {
    char buffer[64];
    memset(buffer, 0xDD, sizeof buffer);
    uint32_t length = machine_.GetShortPathNameA(c.path, buffer, sizeof buffer);
    if (c.short_path[0] == '\0') {
      EXPECT_EQ(length, 0u) << c.path;
      EXPECT_NE(machine_.last_error(), 0) << c.path;
      continue;
    }
    EXPECT_EQ(std::string(buffer, length), c.short_path) << c.path;
    EXPECT_EQ(buffer[length], '\0') << c.path;
    EXPECT_EQ(machine_.GetShortPathNameA(c.path, buffer, length), length + 1) << c.path;
    // Windows takes the short names for the long ones.
    EXPECT_EQ(machine_.LongPath(c.short_path), SimMachine::NormalizeFilePath(c.path)) << c.path;
  }
}

TEST(SimDrivesTest, DriveTypesAndTheProgramsOwnFileName) {
  SimMachine machine;
  machine.set_drive_type('n', kDriveRemote);
  machine.set_drive_type('D', 5);
  struct Case {
    const char* root;
    uint32_t type;
  };
  const Case cases[] = {{"A:\\", kDriveRemovable},
                        {"c:\\", kDriveFixed},
                        {"C:", kDriveFixed},
                        {"N:\\", kDriveRemote},
                        {"D:\\", 5},
                        {"E:\\", 1},
                        {"C:\\WINDOWS", 1},
                        {"", 1}};
  for (const Case& c : cases) EXPECT_EQ(machine.GetDriveTypeA(c.root), c.type) << c.root;
  EXPECT_TRUE(machine.GoneAfterRestart("a:\\NETREVIVE.EXE"));
  EXPECT_TRUE(machine.GoneAfterRestart("N:\\NETREVIVE.EXE"));
  EXPECT_TRUE(machine.GoneAfterRestart("\\\\SERVER\\SHARE\\NETREVIVE.EXE"));
  EXPECT_FALSE(machine.GoneAfterRestart("D:\\NETREVIVE.EXE"));
  machine.set_drive_type('A', 1);
  EXPECT_EQ(machine.GetDriveTypeA("A:\\"), 1u);

  // A look at an empty CD-ROM drive is Windows' "drive is not ready" box
  // unless the error mode keeps it away; either way the call fails with 21.
  // GetDriveTypeA never raises it, nor does a drive holding a disc.
  EXPECT_EQ(machine.GetDriveTypeA("D:\\"), 5u);
  EXPECT_EQ(machine.GetFileAttributesA("D:\\WIN98"), kInvalidFileAttributes);
  EXPECT_EQ(machine.last_error(), kErrorNotReady);
  ASSERT_EQ(machine.system_dialogs().size(), 1u);
  EXPECT_EQ(machine.system_dialogs()[0].path, "D:\\WIN98");
  EXPECT_EQ(machine.system_dialogs()[0].call, machine.call_count());
  EXPECT_EQ(machine.SetErrorMode(kSemFailCriticalErrors), 0u);
  EXPECT_EQ(machine.FindFirstFileA("D:\\WIN98\\*.CAB"), kNoHandle);
  EXPECT_EQ(machine.last_error(), kErrorNotReady);
  EXPECT_EQ(machine.system_dialogs().size(), 1u);
  EXPECT_EQ(machine.SetErrorMode(0), kSemFailCriticalErrors);
  machine.PutFile("D:\\WIN98\\NET7.CAB", "MSCF");
  EXPECT_NE(machine.GetFileAttributesA("D:\\WIN98"), kInvalidFileAttributes);
  EXPECT_EQ(machine.system_dialogs().size(), 1u);

  machine.set_self_path("C:\\NETREVIVE\\NETREVIVE.EXE");  // 26 characters
  char buffer[40];
  EXPECT_EQ(machine.GetModuleFileNameA(buffer, sizeof buffer), 26u);
  EXPECT_STREQ(buffer, "C:\\NETREVIVE\\NETREVIVE.EXE");
  EXPECT_EQ(machine.GetModuleFileNameA(buffer, 26), 26u) << "a cut path fills the buffer";
  EXPECT_EQ(strlen(buffer), 25u);
  EXPECT_EQ(machine.GetModuleFileNameA(buffer, 27), 26u);
}

TEST_F(SimFilesTest, PathsOfMaxPathOrMoreAreRefused) {
  const std::string dir = "C:\\" + std::string(240, 'D');
  machine_.set_windows_dir(dir);
  machine_.PutFile(dir + "\\system.dat", "S");
  const std::string fits = dir + "\\sys.tom";                      // 251 characters
  const std::string too_long = dir + "\\" + std::string(16, 'x');  // 260 characters
  ASSERT_LT(fits.size(), kSimMaxPath);
  ASSERT_EQ(too_long.size(), kSimMaxPath);
  EXPECT_TRUE(machine_.CopyFileA((dir + "\\system.dat").c_str(), fits.c_str(), false));
  EXPECT_FALSE(machine_.CopyFileA((dir + "\\system.dat").c_str(), too_long.c_str(), false));
  EXPECT_EQ(machine_.last_error(), kErrorFilenameExcedRange);
  EXPECT_EQ(machine_.OpenFileForWrite(too_long.c_str()), kNoHandle);
  machine_.set_max_path(0);
  Handle file = machine_.OpenFileForWrite(too_long.c_str());
  EXPECT_NE(file, kNoHandle);
  EXPECT_TRUE(machine_.CloseFile(file));
}

TEST_F(SimFilesTest, MarkerFileWriteReadDelete) {
  const char* marker = "C:\\WINDOWS\\rundunreinst.QU";
  EXPECT_EQ(machine_.OpenFileForRead(marker), kNoHandle);
  EXPECT_EQ(machine_.last_error(), kErrorFileNotFound);
  EXPECT_FALSE(machine_.FileExists(marker)) << "opening for reading created the file";

  Handle out = machine_.OpenFileForWrite(marker);
  ASSERT_NE(out, kNoHandle);
  EXPECT_TRUE(machine_.FileExists(marker));
  EXPECT_TRUE(machine_.WriteFile(out, "REINSTALL", 9));
  EXPECT_TRUE(machine_.WriteFile(out, "\r\n", 2));
  EXPECT_FALSE(machine_.DeleteFileA(marker)) << "an open file cannot be deleted";
  EXPECT_EQ(machine_.last_error(), 32);
  EXPECT_TRUE(machine_.CloseFile(out));
  EXPECT_FALSE(machine_.CloseFile(out));
  EXPECT_EQ(machine_.last_error(), kErrorInvalidHandle);
  EXPECT_FALSE(machine_.WriteFile(out, "x", 1));

  // Truncated by a new open for writing.
  Handle again = machine_.OpenFileForWrite("c:\\windows\\RUNDUNREINST.qu");
  ASSERT_NE(again, kNoHandle);
  EXPECT_TRUE(machine_.WriteFile(again, "REINSTALL\r\n", 11));
  EXPECT_TRUE(machine_.CloseHandle(again));
  std::string contents;
  ASSERT_TRUE(machine_.ReadFile(marker, &contents));
  EXPECT_EQ(contents, "REINSTALL\r\n");

  Handle in = machine_.OpenFileForRead(marker);
  ASSERT_NE(in, kNoHandle);
  EXPECT_FALSE(machine_.WriteFile(in, "x", 1));
  EXPECT_EQ(machine_.last_error(), kErrorAccessDenied);
  EXPECT_TRUE(machine_.CloseFile(in));
  EXPECT_TRUE(machine_.DeleteFileA(marker));
  EXPECT_FALSE(machine_.DeleteFileA(marker));
  EXPECT_EQ(machine_.last_error(), kErrorFileNotFound);
  EXPECT_EQ(machine_.OpenFileForWrite("C:\\NOWHERE\\rundunreinst.QU"), kNoHandle);
  EXPECT_EQ(machine_.last_error(), kErrorPathNotFound);
  EXPECT_TRUE(machine_.OpenHandles().empty()) << machine_.DescribeOpenHandles();
}

}  // namespace
}  // namespace netrevive::simulated_pc
