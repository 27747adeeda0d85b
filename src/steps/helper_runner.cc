#include "steps/helper_runner.h"

namespace netrevive {

namespace {

struct FixedHelper {
  const char* program_tail;
  const char* arguments;
  bool wait;
};

FixedHelper DescribeHelper(Helper helper) {
  switch (helper) {
    case Helper::kUninstallUpgrade:
      return {"\\rundll32.exe", " rnasetup.dll,UninstallUpgrade", true};
    case Helper::kRnaReboot:
      return {"\\rundll32.exe", " rnasetup.dll,RnaReboot", false};
    case Helper::kInstallHinfSection:
      return {"\\rundll.exe", " setupx.dll,InstallHinfSection RNA 128 ", true};
    case Helper::kInstallDefaultDrv:
      return {"\\rundll32.exe", " rnasetup.dll,InstallDefaultDrv", true};
  }
  return {"\\rundll32.exe", "", true};
}

BuildStatus Fits(bool ok) { return ok ? BuildStatus::kOk : BuildStatus::kTooLong; }

// The mode SetErrorMode replaced at the start of this run.
uint32_t started_error_mode = 0;

}  // namespace

BuildStatus BuildHelperRun(Platform& os, Helper helper, HelperRun* run) {
  FixedHelper fixed = DescribeHelper(helper);
  FixedText<kPathSize> windows_dir;
  BuildStatus status = ReadWindowsDir(os, &windows_dir);
  if (status != BuildStatus::kOk) return status;

  run->wait = fixed.wait;
  bool ok = run->program.Append(windows_dir.c_str()) && run->program.Append(fixed.program_tail);
  ok = ok && run->command_line.Append(run->program.c_str()) &&
       run->command_line.Append(fixed.arguments);
  if (helper == Helper::kInstallHinfSection) {
    ok = ok && run->command_line.Append(windows_dir.c_str()) &&
         run->command_line.Append("\\inf\\rna.inf");
  }
  ok = ok && run->working_directory.Append(windows_dir.c_str());
  return Fits(ok);
}

BuildStatus BuildUninstallerRun(Platform& os, UninstallerForm form, const char* uninstall_text,
                                HelperRun* run) {
  FixedText<kPathSize> windows_dir;
  BuildStatus status = ReadWindowsDir(os, &windows_dir);
  if (status != BuildStatus::kOk) return status;

  run->wait = true;
  bool ok = run->program.Append(windows_dir.c_str()) &&
            run->command_line.Append(windows_dir.c_str()) &&
            run->working_directory.Append(windows_dir.c_str());
  switch (form) {
    case UninstallerForm::kDunSetup:
      ok = ok && run->program.Append("\\system\\dunsetup.exe") &&
           run->command_line.Append("\\system\\") && run->working_directory.Append("\\system");
      break;
    case UninstallerForm::kRundll:
      ok = ok && run->program.Append("\\rundll.exe") && run->command_line.Append("\\");
      break;
    case UninstallerForm::kRundll32:
      ok = ok && run->program.Append("\\rundll32.exe") && run->command_line.Append("\\");
      break;
  }
  ok = ok && run->command_line.Append(uninstall_text);
  return Fits(ok);
}

void TakeProgramErrorMode(Platform& os) { started_error_mode = os.SetErrorMode(kProgramErrorMode); }

bool RunHelper(Platform& os, HelperRun* run) {
  ProcessInfo info = {kNoHandle, kNoHandle, 0, 0};
  os.SetErrorMode(started_error_mode);
  if (!os.CreateProcessA(run->program.c_str(), run->command_line.Buffer(),
                         run->working_directory.c_str(), &info)) {
    os.SetErrorMode(kProgramErrorMode);
    return false;
  }
  if (run->wait && info.process != kNoHandle) {
    // Blocks without using the processor until the helper has ended. If the
    // wait itself fails there is nothing more to wait on: go on.
    os.WaitForSingleObject(info.process, kInfinite);
  }
  os.SetErrorMode(kProgramErrorMode);
  if (info.thread != kNoHandle) os.CloseHandle(info.thread);
  if (info.process != kNoHandle) os.CloseHandle(info.process);
  return true;
}

}  // namespace netrevive
