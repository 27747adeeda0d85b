#include "rehearsal/options.h"

#include <stdint.h>
#include <stdlib.h>

#include "platform/simulated_pc/sim_presets.h"
#include "rehearsal/numbers.h"

namespace netrevive::rehearsal {

using simulated_pc::FaultRule;
using simulated_pc::FindOp;
using simulated_pc::kOps;
using simulated_pc::Op;
using simulated_pc::OpInfo;
using simulated_pc::PresetInfo;
using simulated_pc::PresetMachines;

bool ParseInject(const std::string& text, FaultRule* rule, std::string* error) {
  const std::string usage = "expected OP[:PATH]=STATUS[,once][,skip=N], such as RegDeleteKeyA=5";
  std::string option_text = text;
  int skip_count = 0;
  // ",skip=N" lets the first N calls the rule matches pass.
  const std::string skip = ",skip=";
  size_t skip_at = option_text.rfind(skip);
  if (skip_at != std::string::npos) {
    std::string number = option_text.substr(skip_at + skip.size());
    if (number.empty() || number.size() > 6 ||
        number.find_first_not_of("0123456789") != std::string::npos) {
      *error = "--inject " + text + ": bad skip count \"" + number + "\" (0 or more)";
      return false;
    }
    skip_count = atoi(number.c_str());
    option_text.resize(skip_at);
  }
  size_t equals = option_text.rfind('=');
  if (equals == std::string::npos) {
    *error = "--inject " + text + ": " + usage;
    return false;
  }
  std::string target = option_text.substr(0, equals);
  std::string status_text = option_text.substr(equals + 1);
  FaultRule parsed;
  parsed.persistent = true;
  parsed.skip = skip_count;
  const std::string once = ",once";
  if (status_text.size() > once.size() &&
      status_text.compare(status_text.size() - once.size(), once.size(), once) == 0) {
    parsed.persistent = false;
    status_text.resize(status_text.size() - once.size());
  }
  size_t colon = target.find(':');
  std::string operation = target.substr(0, colon);
  if (colon != std::string::npos) {
    parsed.path = target.substr(colon + 1);
    if (parsed.path.empty()) {
      *error = "--inject " + text + ": the path after " + operation + ": is empty";
      return false;
    }
  }
  Op op;
  if (!FindOp(operation, &op)) {
    std::string names;
    for (const OpInfo& known : kOps) names += (names.empty() ? "" : ", ") + std::string(known.name);
    *error =
        "--inject " + text + ": unknown operation \"" + operation + "\" (known: " + names + ")";
    return false;
  }
  parsed.operation = op;
  if (!ParseSigned32(status_text, &parsed.status)) {
    *error = "--inject " + text + ": bad status \"" + status_text +
             "\" (a decimal number or 0x and up to 8 hex digits)";
    return false;
  }
  if (parsed.status == 0) {
    *error = "--inject " + text + ": status 0 is success, not a failure";
    return false;
  }
  *rule = parsed;
  return true;
}

bool ParseSimOptions(int argc, const char* const* argv, SimOptions* options, std::string* error) {
  SimOptions parsed;
  bool keys_given = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool has_value = false;
    size_t equals = arg.find('=');
    if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
      has_value = true;
    }
    bool wants_value = arg == "--machine" || arg == "--preset" || arg == "--keys" ||
                       arg == "--inject" || arg == "--program" || arg == "--start" ||
                       arg == "--guide" || arg == "--registry" || arg == "--missing";
    if (wants_value && !has_value) {
      if (i + 1 >= argc) {
        *error = arg + " needs a value";
        return false;
      }
      value = argv[++i];
    } else if (!wants_value && has_value) {
      *error = arg + " takes no value";
      return false;
    }

    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
    } else if (arg == "--one-run") {
      parsed.one_run = true;
    } else if (arg == "--advice") {
      parsed.advice = true;
    } else if (arg == "--transcript") {
      parsed.transcript = true;
    } else if (arg == "--start") {
      if (parsed.start_given) {
        *error = "--start is given twice";
        return false;
      }
      parsed.start_given = true;
      parsed.start = value;
    } else if (arg == "--registry") {
      if (value.empty()) {
        *error = "--registry needs a file name";
        return false;
      }
      for (const std::string& file : parsed.registry) {
        if (file == value) {
          *error = "--registry " + value + " is given twice";
          return false;
        }
      }
      parsed.registry.push_back(value);
    } else if (arg == "--marker") {
      parsed.marker = true;
    } else if (arg == "--missing") {
      if (value.empty()) {
        *error = "--missing needs a file name";
        return false;
      }
      parsed.missing.push_back(value);
    } else if (arg == "--guide") {
      if (value.empty()) {
        *error = "--guide needs a folder name";
        return false;
      }
      parsed.guide_dir = value;
    } else if (arg == "--machine") {
      if (!parsed.machine_dir.empty()) {
        *error = "--machine is given twice";
        return false;
      }
      if (value.empty()) {
        *error = "--machine needs a folder name";
        return false;
      }
      parsed.machine_dir = value;
    } else if (arg == "--preset") {
      if (!parsed.preset.empty()) {
        *error = "--preset is given twice";
        return false;
      }
      bool known = false;
      for (const PresetInfo& preset : PresetMachines()) known = known || preset.name == value;
      if (!known) {
        std::string names;
        for (const PresetInfo& preset : PresetMachines()) {
          names += (names.empty() ? "" : ", ") + preset.name;
        }
        *error = "unknown preset \"" + value + "\" (known: " + names + ")";
        return false;
      }
      parsed.preset = value;
    } else if (arg == "--keys") {
      if (keys_given) {
        *error = "--keys is given twice";
        return false;
      }
      keys_given = true;
      if (value == "auto") {
        parsed.keys = KeySource::kAuto;
      } else if (value == "tty") {
        parsed.keys = KeySource::kTerminal;
      } else {
        *error = "--keys " + value + ": expected auto or tty";
        return false;
      }
    } else if (arg == "--program") {
      if (!parsed.program.empty()) {
        *error = "--program is given twice";
        return false;
      }
      if (value.empty()) {
        *error = "--program needs the text the program is started by";
        return false;
      }
      parsed.program = value;
    } else if (arg == "--inject") {
      FaultRule rule;
      if (!ParseInject(value, &rule, error)) return false;
      parsed.faults.push_back(rule);
    } else if (arg.rfind("-", 0) == 0) {
      *error = "unknown option " + arg;
      return false;
    } else {
      *error = "unexpected argument \"" + arg + "\" (netrevive-sim takes options only)";
      return false;
    }
  }
  if (parsed.start_given && !parsed.program.empty()) {
    *error = "--start gives the whole command line: not with --program";
    return false;
  }
  if (!parsed.registry.empty() && (!parsed.machine_dir.empty() || !parsed.preset.empty())) {
    *error = "--registry builds the machine itself: not with --machine or --preset";
    return false;
  }
  if (parsed.registry.empty() && (parsed.marker || !parsed.missing.empty())) {
    *error = std::string(parsed.marker ? "--marker" : "--missing") + " goes with --registry";
    return false;
  }
  if (parsed.transcript && keys_given && parsed.keys != KeySource::kAuto) {
    *error = "--transcript answers every pause itself: not with --keys tty";
    return false;
  }
  // Unattended.
  if (!parsed.registry.empty() || parsed.transcript) parsed.keys = KeySource::kAuto;
  *options = parsed;
  return true;
}

std::string SimHelpText() {
  std::string text =
      "Usage: netrevive-sim [--machine DIR] [--preset NAME] [--keys auto|tty] [--one-run]\n"
      "                     [--program PATH] [--inject OP[:PATH]=STATUS[,once][,skip=N]]...\n"
      "                     [--advice] [--start COMMAND_LINE] [--transcript]\n"
      "       netrevive-sim --registry FILE.reg... [--marker] [--missing FILE]... [--advice]\n"
      "       netrevive-sim --guide DIR\n"
      "\n"
      "Runs the Netrevive repair on a simulated Windows 9x PC and plays Windows'\n"
      "part between the program's runs: when a run ends with a restart requested\n"
      "(RnaReboot) or the session ended (ExitWindowsEx), the next session starts and\n"
      "each HKLM RunOnce value is deleted and its command line run, until a run\n"
      "ends without either or nothing is scheduled (at most 10 sessions).\n"
      "The simulator's own lines start with \"== \"; each run of the program ends\n"
      "with a line \"== ending: NAME\" (the endings are listed in the support\n"
      "guide), and at the end it lists what changed on the machine.\n"
      "\n"
      "Options:\n"
      "  --machine DIR   use the machine kept in folder DIR and save it there at the\n"
      "                  end; a missing DIR is created from the default machine, or\n"
      "                  from --preset. The folder holds registry.reg (REGEDIT4),\n"
      "                  version.txt, machine.txt and the drive/ tree (drive/C/...).\n"
      "  --preset NAME   start from a built-in machine (not with an existing DIR)\n"
      "  --keys auto     answer every pause at once, printing \"== [key]\" there\n"
      "  --keys tty      read each key from the terminal, unechoed (the default);\n"
      "                  standard input is never read\n"
      "  --program PATH  start the program by PATH (its argv[0]), such as NETREVIVE.EXE\n"
      "                  as typed at a prompt; its own file stays the machine's\n"
      "                  program= path. Without it the user starts that path.\n"
      "  --one-run       stop after one run of the program and save the machine; with\n"
      "                  --machine the next call goes on from there\n"
      "  --inject OP[:PATH]=STATUS[,once][,skip=N]\n"
      "                  make the platform operation OP fail with STATUS (decimal or\n"
      "                  0x hex), on PATH only when given (a key such as\n"
      "                  HKLM\\System\\CurrentControlSet\\Services, a file or program\n"
      "                  path); every time, or once with \",once\"; with \",skip=N\"\n"
      "                  the first N calls it matches pass (\"the second start of\n"
      "                  rundll32.exe fails\": skip=1). Repeatable.\n"
      "                  OP is one of:\n";
  std::string line = "                   ";
  for (const OpInfo& op : kOps) {
    std::string name = op.name;
    if (line.size() + name.size() + 1 > 80) {
      text += line + "\n";
      line = "                   ";
    }
    line += " " + name;
  }
  text += line + "\n";
  text +=
      "  --registry FILE.reg\n"
      "                  predict the repair on a caller's PC from registry exports\n"
      "                  made with Windows 98's regedit (regedit /e FILE.reg [KEY], of\n"
      "                  the whole registry or of branches; repeatable, later files win):\n"
      "                  the exports' branches replace the default machine's, the\n"
      "                  VersionNumber and SubVersionNumber give the Windows version,\n"
      "                  RunOnce entries run at the next start of Windows; the repair\n"
      "                  runs unattended (--keys auto) and the predicted path is printed\n"
      "                  at the end, after which facts came from the exports and which\n"
      "                  from the default machine. Nothing is written.\n"
      "  --marker        with --registry: rundunreinst.QU is in the Windows directory\n"
      "  --missing FILE  with --registry: the PC lacks this file (a full path, or one\n"
      "                  in the Windows directory such as inf\\rna.inf). Repeatable.\n"
      "  --advice        after each run's ending line, print what it means for the\n"
      "                  PC and what the caller does next\n"
      "  --start COMMAND_LINE\n"
      "                  the command line the user starts the program with, split\n"
      "                  as the C runtime splits it (default: the machine's own\n"
      "                  program path, alone)\n"
      "  --transcript    print only the dialogue, as the tests keep it: each run's\n"
      "                  output with <key> at each pause (answered at once), framed by\n"
      "                  lines <start: ...>, <RunOnce \"NAME\": ...>, <exit N>,\n"
      "                  <restart requested>, <session ended> and <RunOnce empty>\n"
      "  --guide DIR     write the support guide, DIR/support-guide.md with its\n"
      "                  picture (drawn by Graphviz's dot) and DIR/support-guide.html\n"
      "                  (made by cmark-gfm), and run nothing else\n"
      "  --help          show this text\n"
      "\n"
      "Presets:\n";
  for (const PresetInfo& preset : PresetMachines()) {
    std::string name = "  " + preset.name;
    if (name.size() < 20)
      name.resize(20, ' ');
    else
      name += " ";
    text += name + preset.description + "\n";
  }
  text +=
      "\n"
      "Exit status: 0 when the simulation ran, 1 when the machine folder or the\n"
      "registry export could not be read (or the guide written), 2 for a bad command\n"
      "line.\n";
  return text;
}

}  // namespace netrevive::rehearsal
