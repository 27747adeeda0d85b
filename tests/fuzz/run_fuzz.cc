// libFuzzer target for a whole run of the program on a simulated machine
// made from the fuzz input: a built-in machine or one with any Windows
// directory, any version, SelfPath and command line, registry values and
// keys added or removed, files missing, one or two injected failures and
// perhaps a power cut. Every run must keep the rules of CheckRun (exit
// status 0, no helper after a failure of the step it needs, no claim of a
// success that did not happen, the marker only after its resume entry,
// every handle closed), and a Check run leaves the machine as it found it;
// the sanitizers catch the rest.

#include <fuzzer/FuzzedDataProvider.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <map>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_presets.h"
#include "platform/simulated_pc/sim_session_start.h"
#include "reliability/reliability_support.h"

namespace {

using netrevive::RegStatus;
using netrevive::simulated_pc::SimMachine;
namespace simulated_pc = netrevive::simulated_pc;
namespace rel = netrevive::reliability;

const SimMachine& PresetMachine(size_t index) {
  static std::map<size_t, SimMachine> cache;
  auto it = cache.find(index);
  if (it != cache.end()) return it->second;
  SimMachine machine;
  simulated_pc::MakePresetMachine(simulated_pc::PresetMachines()[index].name, &machine);
  return cache.emplace(index, machine).first->second;
}

std::string Text(FuzzedDataProvider& in, size_t max_length) {
  std::string text = in.ConsumeRandomLengthString(max_length);
  std::string out;
  for (char c : text) {
    if (c != '\0') out += c;  // the program gets C strings
  }
  return out;
}

template <typename T, size_t N>
const T& Pick(FuzzedDataProvider& in, const T (&choices)[N]) {
  return choices[in.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

const RegStatus kStatuses[] = {2, 5, 6, 87, 234, 259, 1009, 1011, 1015, 126, 10055, 10091};

void EditRegistry(FuzzedDataProvider& in, SimMachine* machine) {
  const std::string uninstall = simulated_pc::kUninstallPath;
  const std::string catalog_entry =
      std::string(simulated_pc::kWinsock2Path) +
      "\\Parameters\\Protocol_Catalog9\\Catalog_Entries\\000000000001";
  const char* const keys[] = {simulated_pc::kMsdunPath,         simulated_pc::kUninstallPath,
                              simulated_pc::kRunOncePath,       simulated_pc::kWinsock2Path,
                              simulated_pc::kDunFilePath,       simulated_pc::kServicesPath,
                              simulated_pc::kDialUpAdapterPath, catalog_entry.c_str()};
  switch (in.ConsumeIntegralInRange<int>(0, 6)) {
    case 0: {
      std::string key =
          in.ConsumeBool() ? std::string(Pick(in, keys)) : uninstall + "\\" + Text(in, 300);
      const char* const names[] = {"UninstallString", "DisplayName", "QU Netrevive", "",
                                   "PackedCatalogItem"};
      std::string name = in.ConsumeBool() ? std::string(Pick(in, names)) : Text(in, 40);
      const uint32_t types[] = {0, 1, 2, 3, 4, 7, 0xFFFFFFFFu};
      uint32_t type = Pick(in, types);
      size_t length = in.ConsumeIntegralInRange<size_t>(0, 1100);
      std::vector<uint8_t> data = in.ConsumeBytes<uint8_t>(length);
      machine->SetValue(key, name, type, data);
      break;
    }
    case 1:
      machine->DeleteKey(Pick(in, keys));
      break;
    case 2:
      machine->CreateKey(uninstall + "\\" + Text(in, 320));
      break;
    case 3:
      simulated_pc::AddDunUpgrade(machine, Text(in, 1100));
      break;
    case 4: {
      const char* const files[] = {
          "\\rundll32.exe", "\\rundll.exe", "\\inf\\rna.inf",         "\\system.dat",
          "\\user.dat",     "\\system.tom", "\\system\\dunsetup.exe", "\\system\\ws2_32.dll"};
      machine->RemoveFile(machine->windows_dir() + Pick(in, files));
      break;
    }
    case 5:
      machine->PutFile(machine->windows_dir() + "\\rundunreinst.QU", Text(in, 20));
      break;
    case 6:
      simulated_pc::RemoveTcpIpProviders(machine);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  SimMachine machine;
  if (in.ConsumeIntegralInRange<int>(0, 3) != 0) {
    machine = PresetMachine(
        in.ConsumeIntegralInRange<size_t>(0, simulated_pc::PresetMachines().size() - 1));
  } else {
    std::string dir = Text(in, 300);
    if (dir.empty()) dir = "C:\\W";
    machine = simulated_pc::MakeDefaultMachine(dir);
  }
  if (in.ConsumeBool()) machine.set_max_path(0);
  if (in.ConsumeBool()) {
    const uint32_t platforms[] = {0, 1, 2, 3};
    const uint32_t minors[] = {0, 10, 90, 20, 255};
    uint32_t platform = Pick(in, platforms);
    uint32_t minor = in.ConsumeBool() ? Pick(in, minors) : in.ConsumeIntegral<uint32_t>();
    uint32_t build = in.ConsumeIntegral<uint32_t>();
    machine.SetVersion(platform, 4, minor, build, Text(in, 140));
  }
  if (in.ConsumeBool()) machine.set_self_path(Text(in, 700));
  int edits = in.ConsumeIntegralInRange<int>(0, 4);
  for (int i = 0; i < edits; ++i) EditRegistry(in, &machine);

  // The command line: argv[0] is the program's path as it was started.
  std::vector<std::string> args;
  int argc = in.ConsumeIntegralInRange<int>(0, 4);
  for (int i = 0; i < argc; ++i) {
    const char* const words[] = {"UpgradeRemove", "ReinstallDUN", "Check"};
    if (i == 0) {
      args.push_back(machine.self_path());
    } else if (in.ConsumeBool()) {
      args.push_back(Pick(in, words));
    } else {
      args.push_back(Text(in, 64));
    }
  }

  // The run is one Windows starts: the session starts, Windows takes the
  // RunOnce entries (running the helpers among them), and the program runs
  // with the fuzzed command line in place of any entry of its own.
  simulated_pc::SessionStart start(machine);
  simulated_pc::RunOnceEntry entry;
  while (start.Next(&entry)) {
  }
  machine.ResetCallLog();
  machine.ClearFaults();
  machine.ClearFaultsMet();
  int faults = in.ConsumeIntegralInRange<int>(0, 2);
  for (int i = 0; i < faults; ++i) {
    RegStatus status = Pick(in, kStatuses);
    if (in.ConsumeBool()) {
      machine.FailCallNumber(in.ConsumeIntegralInRange<uint64_t>(1, 120), status);
    } else {
      machine.FailOperation(Pick(in, simulated_pc::kOps).op, "", status, in.ConsumeBool());
    }
  }
  if (in.ConsumeIntegralInRange<int>(0, 7) == 0) {
    machine.PowerCutAfter(in.ConsumeIntegralInRange<uint64_t>(1, 120));
  }

  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  const SimMachine before = machine;
  rel::RunOutput out = rel::RunArgv(machine, argc, argv.data());
  const netrevive::RunMode mode = netrevive::SelectRunMode(argc, argv.data());
  std::vector<std::string> broken = rel::CheckRun(machine, 1, mode, out);
  if (mode == netrevive::RunMode::kCheck) rel::ChangesNothing(before, machine, &broken);
  if (!broken.empty()) {
    fprintf(stderr, "broken rules:\n");
    for (const std::string& b : broken) fprintf(stderr, "  %s\n", b.c_str());
    fprintf(stderr, "--- output\n%s--- calls\n%s", out.transcript.c_str(),
            machine.FormatCallLog().c_str());
    abort();
  }
  return 0;
}
