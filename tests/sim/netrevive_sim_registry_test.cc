// netrevive-sim --registry: the predicted path from a caller's own registry
// export, and the refusal of files that are not a Windows 98 export.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/driver.h"
#include "platform/simulated_pc/sim_paths.h"
#include "platform/simulated_pc/sim_presets.h"
#include "rehearsal/regedit4.h"
#include "sim/netrevive_sim_run.h"
#include "support/test.h"

namespace netrevive::testing {
namespace {

constexpr const char kCurrentVersion[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion";

// The machine's registry as Windows 98's regedit exports the whole of it:
// HKEY_CLASSES_ROOT inside HKLM\SOFTWARE\Classes, HKEY_USERS after HKLM,
// the version values under CurrentVersion.
std::string FullExport(simulated_pc::SimMachine machine, const std::string& version,
                       const std::string& sub_version) {
  machine.SetString(kCurrentVersion, "VersionNumber", version);
  machine.SetString(kCurrentVersion, "SubVersionNumber", sub_version);
  rehearsal::RegFile file = rehearsal::ExportRegFile(machine);
  for (rehearsal::RegFileKey& key : file.keys) {
    const std::string root = "HKEY_CLASSES_ROOT";
    if (key.path.compare(0, root.size(), root) == 0) {
      key.path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes" + key.path.substr(root.size());
    }
  }
  rehearsal::RegFileKey users;
  users.path = "HKEY_USERS\\.DEFAULT\\Control Panel\\Desktop";
  users.values.push_back({"Wallpaper", 1, {'(', 'N', 'o', 'n', 'e', ')', 0}, false});
  file.keys.push_back(users);
  return rehearsal::WriteRegFile(file);
}

simulated_pc::SimMachine Preset(const std::string& name) {
  simulated_pc::SimMachine machine;
  EXPECT_TRUE(simulated_pc::MakePresetMachine(name, &machine)) << name;
  return machine;
}

// The "== " lines of the prediction block at the end of the output.
std::string Prediction(const std::string& out) {
  size_t at = out.find("== prediction for the PC of ");
  return at == std::string::npos ? "" : out.substr(at);
}

struct PredictionCase {
  const char* label;
  std::string export_text;
  std::vector<std::string> options;
  std::vector<const char*> expected;  // in order in the prediction block
};

TEST(NetreviveSimRegistry, PredictsThePathOfTheCallersPc) {
  // The state a first run leaves: DUN uninstalled, the ReinstallDUN entry
  // written; the marker is a file, which the export cannot show.
  simulated_pc::SimMachine pending = simulated_pc::MakeDefaultMachine();
  RunFresh(pending);
  simulated_pc::SimMachine no_winsock2 = simulated_pc::MakeDefaultMachine();
  no_winsock2.DeleteKey(simulated_pc::kWinsock2Path);
  const PredictionCase cases[] = {
      {"untouched 98 SE",
       FullExport(simulated_pc::MakeDefaultMachine(), "4.10.2222", " A "),
       {},
       {"run 1 (the caller starts it: C:\\NETREVIVE\\NETREVIVE.EXE): restart-for-reinstall",
        "then Windows restarts",
        "run 2 (Windows starts it from RunOnce \"QU Netrevive\": C:\\NETREVIVE\\NETREVIVE.EXE "
        "ReinstallDUN): repaired (repaired)",
        "restarts: 2, log-offs: 0", "the repair completes"}},
      {"DUN upgrade removed by dunsetup.exe",
       FullExport(Preset("upgrade-dunsetup"), "4.10.2222", " A "),
       {},
       {"run 1 (the caller starts it", "): session-ended-for-upgrade (goes on)",
        "then the session ends (log-off)", "UpgradeRemove): restart-for-reinstall",
        "ReinstallDUN): repaired", "restarts: 2, log-offs: 1", "the repair completes"}},
      // Counted as deleted: the repair goes on.
      {"Winsock2 key gone after an earlier run",
       FullExport(no_winsock2, "4.10.2222", " A "),
       {},
       {"run 1 (the caller starts it: C:\\NETREVIVE\\NETREVIVE.EXE): restart-for-reinstall "
        "(goes on)",
        "ReinstallDUN): repaired (repaired)", "the repair completes"}},
      {"pending ReinstallDUN with the marker",
       FullExport(pending, "4.10.2222", " A "),
       {"--marker"},
       {"run 1 (Windows starts it from RunOnce \"QU Netrevive\": C:\\NETREVIVE\\NETREVIVE.EXE "
        "ReinstallDUN): repaired",
        "the repair completes"}},
      {"pending ReinstallDUN without the marker",
       FullExport(pending, "4.10.2222", " A "),
       {},
       {"ReinstallDUN): reinstall-not-authorised (refused)",
        "the repair stops in run 1 at reinstall-not-authorised"}},
      {"Windows 95 by its VersionNumber",
       FullExport(simulated_pc::MakeDefaultMachine(), "4.00.950", " B "),
       {},
       {"refused-95 (refused)"}},
      {"rundll32.exe missing",
       FullExport(simulated_pc::MakeDefaultMachine(), "4.10.2222", " A "),
       {"--missing", "rundll32.exe"},
       {"): refused-program-missing (refused)",
        "the repair stops in run 1 at refused-program-missing"}},
  };
  for (const PredictionCase& c : cases) {
    TempFolder temp;
    const std::string file = temp.Sub("pc.reg");
    WriteText(file, c.export_text);
    std::vector<std::string> args = {"--registry", file};
    args.insert(args.end(), c.options.begin(), c.options.end());
    SimRun run = RunSim(args);
    ASSERT_EQ(run.exit_status, 0) << c.label << ": " << run.err;
    const std::string prediction = Prediction(run.out);
    size_t at = 0;
    for (const char* part : c.expected) {
      size_t found = prediction.find(part, at);
      ASSERT_NE(found, std::string::npos)
          << c.label << ": no \"" << part << "\" after offset " << at << " in\n"
          << prediction;
      at = found;
    }
    EXPECT_EQ(FolderContents(temp.path()), "pc.reg: " + c.export_text + "\n") << c.label;
  }
  // The version comes from the export: ME is named as such.
  TempFolder temp;
  WriteText(temp.Sub("me.reg"), FullExport(simulated_pc::MakeDefaultMachine(), "4.90.3000", ""));
  SimRun me = RunSim({"--registry", temp.Sub("me.reg")});
  EXPECT_NE(me.out.find("This computer is running Windows ME"), std::string::npos) << me.out;
}

// The keys of the machine's registry under top, as "regedit /e FILE top" writes them.
std::string BranchExport(const simulated_pc::SimMachine& machine, const std::string& top) {
  rehearsal::RegFile file = rehearsal::ExportRegFile(machine);
  std::vector<rehearsal::RegFileKey> kept;
  for (const rehearsal::RegFileKey& key : file.keys) {
    const std::string head = key.path.substr(0, top.size());
    if (simulated_pc::EqualsNoCase(head, top) &&
        (key.path.size() == top.size() || key.path[top.size()] == '\\')) {
      kept.push_back(key);
    }
  }
  file.keys = kept;
  return rehearsal::WriteRegFile(file);
}

struct BranchCase {
  const char* label;
  std::vector<std::pair<const char*, std::string>> files;  // name, key exported
  std::vector<const char*> expected;                       // in order; FILE: the temp folder
  const char* ending;
};

TEST(NetreviveSimRegistry, SaysWhichFactsCameFromWhichBranchExport) {
  simulated_pc::SimMachine no_winsock2 = simulated_pc::MakeDefaultMachine();
  no_winsock2.DeleteKey(simulated_pc::kWinsock2Path);
  no_winsock2.SetString(kCurrentVersion, "VersionNumber", "4.90.3000");
  const std::string cv = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion";
  const std::string ws2 = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Winsock2";
  const BranchCase cases[] = {
      {"the guide's three files",
       {{"NRVER.REG", cv}, {"NRWS2.REG", ws2}, {"NRDUN.REG", "HKEY_CLASSES_ROOT\\dunfile"}},
       {"version: 4.90.3000", "fact: the Windows version and folder", ": from FILE/NRVER.REG",
        "fact: the Winsock 2 settings", ": from FILE/NRWS2.REG",
        "fact: whether Dial-Up Networking is installed: from FILE/NRDUN.REG"},
       "restart-for-reinstall"},
      {"only the list of installed programs",
       {{"UNINST.REG", cv + "\\Uninstall"}},
       {"version: no export holds the CurrentVersion key; the default machine's",
        "fact: the Windows version and folder",
        ": partly from FILE/UNINST.REG, the rest from the default machine",
        "fact: the Winsock 2 settings and their TCP/IP catalogue: from the default machine",
        "fact: whether Dial-Up Networking is installed: from the default machine"},
       "restart-for-reinstall"},
  };
  for (const BranchCase& c : cases) {
    TempFolder temp;
    std::vector<std::string> args;
    for (const auto& file : c.files) {
      WriteText(temp.Sub(file.first), BranchExport(no_winsock2, file.second));
      args.push_back("--registry");
      args.push_back(temp.Sub(file.first));
    }
    SimRun run = RunSim(args);
    ASSERT_EQ(run.exit_status, 0) << c.label << ": " << run.err;
    size_t at = 0;
    for (std::string part : c.expected) {
      const size_t file = part.find("FILE");
      if (file != std::string::npos) part.replace(file, 4, temp.path());
      size_t found = run.out.find(part, at);
      ASSERT_NE(found, std::string::npos) << c.label << ": no \"" << part << "\" in\n" << run.out;
      at = found;
    }
    EXPECT_NE(run.out.find("== ending: " + std::string(c.ending)), std::string::npos)
        << c.label << "\n"
        << run.out;
  }
}

struct BadExport {
  const char* label;
  std::string bytes;
  const char* where;  // ":LINE:" or ":" after the file name
  const char* message_part;
};

std::string Utf16(const std::string& text) {
  std::string out = "\xFF\xFE";
  for (char c : text) {
    out += c;
    out += '\0';
  }
  return out;
}

TEST(NetreviveSimRegistry, RefusesWhatIsNotAWindows98Export) {
  const std::string good = FullExport(simulated_pc::MakeDefaultMachine(), "4.10.2222", " A ");
  static const char kExe[] = "MZ\x90\0\x03\0\0\0\x04\0\0\0\xFF\xFF";
  const std::string binary(kExe, sizeof kExe - 1);
  const BadExport cases[] = {
      {"empty", "", ":1:", "the file is empty (0 bytes)"},
      {"not REGEDIT4", "Netrevive notes\r\n\r\n", ":1:", "missing REGEDIT4 header"},
      {"REGEDIT5 Unicode", Utf16("Windows Registry Editor Version 5.00\r\n\r\n"),
       ":1:", "a Unicode (REGEDIT5) export"},
      {"REGEDIT5 ANSI", "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_USERS]\r\n\r\n",
       ":1:", "a REGEDIT5 export"},
      {"binary garbage", binary, ":1:", "binary data (a NUL byte)"},
      {"text garbage", "\x8F\xE2q\x7F\x01;k", ":1:", "missing REGEDIT4 header"},
      {"cut in a line", good.substr(0, good.size() / 2), ":", "the file is cut short"},
      {"cut at a line end", good.substr(0, good.rfind("\r\n\r\n")), ":", "the file is cut short"},
      {"cut in a hex continuation",
       "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"B\"=hex:01,\\\r\n",
       ":4:", "line continued with \\ at the end of the file"},
      {"bad line inside", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"B\"=dword:xyz\r\n\r\n",
       ":4:", "bad dword"},
  };
  for (const BadExport& c : cases) {
    TempFolder temp;
    const std::string file = temp.Sub("pc.reg");
    WriteText(file, c.bytes);
    SimRun run = RunSim({"--registry", file, "--marker"});
    EXPECT_EQ(run.exit_status, 1) << c.label;
    EXPECT_EQ(run.out, "") << c.label;
    EXPECT_NE(run.err.find(file + c.where), std::string::npos) << c.label << ": " << run.err;
    EXPECT_NE(run.err.find(c.message_part), std::string::npos) << c.label << ": " << run.err;
    EXPECT_EQ(FolderContents(temp.path()), "pc.reg: " + c.bytes + "\n") << c.label;
  }
  SimRun missing = RunSim({"--registry", "/nonexistent/pc.reg"});
  EXPECT_EQ(missing.exit_status, 1);
  EXPECT_NE(missing.err.find("/nonexistent/pc.reg: cannot be read"), std::string::npos);
}

}  // namespace
}  // namespace netrevive::testing
