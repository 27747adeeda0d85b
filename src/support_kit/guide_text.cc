#include "support_kit/guide_text.h"

#include "rehearsal/endings.h"

namespace netrevive::support_kit {

std::string EndingTitle(const std::string& name) {
  const rehearsal::Ending* ending = rehearsal::FindEnding(name);
  return ending == nullptr ? "Ending: " + name : ending->title;
}

const char kCallScriptBefore[] =
    "**Before the caller starts**\n\n"
    "1. **Copy the program to C:\\ exactly as on 98.** Open My Computer, drag NETREVIVE.EXE\n"
    "   with the *right* mouse button onto the C: drive, choose **Copy Here**; or at an MS-DOS\n"
    "   prompt type `copy A:\\NETREVIVE.EXE C:\\` and Enter. Take the floppy out. From a\n"
    "   floppy, a zip, a web page or a network drive the program refuses to start.\n"
    "2. **Have the Windows CD ready** (Windows may ask for it, see [the CD](#call-cd)).\n"
    "3. **Note the dial-up connection's settings**: My Computer, Dial-Up Networking,\n"
    "   right-click the connection, Properties: phone number; and the user name and password.\n"
    "4. Close other programs. Start, Run, type `C:\\NETREVIVE.EXE`, OK.\n\n"
    "Tell the caller the three rules:\n\n"
    "- **If the window was closed, or the PC switched off or hung: restart it, and if the\n"
    "  program does not come back by itself, start it again** the same way. It finds the\n"
    "  repair under way and carries it on.\n"
    "- **Press a key whenever the program stops**, even where the screen does not ask.\n"
    "- **Read out every line before pressing the key**, and write down any error message.\n";

const char kCallScriptDuring[] =
    "**During the repair**\n\n"
    "- At each stop, find the last line in [where is the caller now](#where-is-the-caller-now).\n"
    "- Windows restarts once or twice. **The program comes back by itself; start it again only\n"
    "  if nothing comes back.** Log on as usual if Windows asks. After the restart the window\n"
    "  shows the banner, then one of these lines:\n";

const char kCallScriptAfter[] =
    "**After the repair**\n\n"
    "- After the last restart a window checks the PC by itself and ends with \"Result:\".\n"
    "  Have the caller read it out; \"REPAIRED\": try the connection, and make it again with\n"
    "  the noted settings if it is gone. Anything else: [still no "
    "connection](#call-no-connection).\n"
    "- The check can be run at any time: Start, Run, `C:\\NETREVIVE.EXE Check`, OK. It changes\n"
    "  nothing.\n"
    "- An error or a stop you do not recognise: [what the caller reads](#what-the-caller-reads).\n";

std::string StopAnchor(const std::string& preset, int run, int pause) {
  return "stop-" + preset + "-" + std::to_string(run) + "-" + std::to_string(pause);
}

const std::vector<CallerWords>& CallersWords() {
  static const std::vector<CallerWords> kWords = {
      {"\"I closed it\", \"I switched it off\", \"the power went off\", \"it hung\"",
       "call-closed"},
      {"\"It restarted and shows nothing\", \"it never came back\"", "call-restarted-nothing"},
      {"\"It never restarted\"", "call-never-restarted"},
      {"\"I ran it again\", \"I ran it twice\"", "call-ran-twice"},
      {"\"It asks for the Windows CD\" (before anything happened)", "call-cd-before"},
      {"\"Windows asks for the CD\", \"I clicked Cancel\"", "call-cd"},
      {"\"I only have a recovery CD\"", "call-recovery-cd"},
      {"\"Still no connection\", \"it said successfully applied\"", "call-no-connection"},
      {"\"Undo it\", \"put it back as it was\", \"System Restore\"", "call-undo"},
      {"\"I ran it last month\" (system.tom and user.tom are there)", "call-old-backups"},
      {"\"It says C:\\WINDOWS\\SYSTEM\\DUNSETUP.EXE is missing\"",
       "call-upgrade-uninstaller-missing"},
      {"\"The upgrade would not go\"", "call-upgrade"},
      {"\"It shows an error code\"", "call-error-code"},
      {"\"I started it from the floppy, a zip or a web page\"", "call-floppy-zip-web"},
      {"\"It is Windows ME\"", "call-me"},
  };
  return kWords;
}

const std::vector<GuideCall>& GuideCalls() {
  static const std::vector<GuideCall> kCalls = {
      {"call-closed", "\"I closed it\" (or the power went off, or the PC hung)",
       "What was the last line on the screen? Its row in [where is the caller "
       "now](#where-is-the-caller-now) says what follows.",
       "Start, Run, `C:\\NETREVIVE.EXE Check`: the \"Repair under way\" line and the Result.",
       "Restart the PC. If Netrevive does not come back by itself, start `C:\\NETREVIVE.EXE` "
       "again: it finds the repair under way (the file netrevive.QU) and carries it on, keeping "
       "the first backups."},
      {"call-restarted-nothing", "\"The PC restarted and now shows nothing\"",
       "Is a Netrevive window on the taskbar? What was the last line before the restart? Is a "
       "floppy disk in the drive (the PC stops at \"Non-system disk\")?",
       "Start, Run, `C:\\NETREVIVE.EXE Check`: the \"Repair under way\" line and the Result.",
       "\"REPAIR UNDER WAY\": restart the PC (Start, Shut Down, Restart) and let the program come "
       "back. \"REPAIR STOPPED\": type the line the Check gives. \"REPAIRED\" or \"NOT "
       "WORKING\": see [still no connection](#call-no-connection)."},
      {"call-never-restarted", "\"It never restarted\" (the PC stays on after the last key)",
       "What are the last lines?", "Start, Run, `C:\\NETREVIVE.EXE Check`.",
       "Restart by hand: Start, Shut Down, Restart, OK. Then, by the last lines: \"Unable to DUN "
       "Reboot.\" alone: Netrevive comes back ([ending](#ending-restart-not-started)); \"Dial-Up "
       "Networking has been reinstalled\": the repair is done, the Check comes "
       "([ending](#ending-repaired-restart-failed)); \"Windows could not end the session.\": "
       "Netrevive comes back ([ending](#ending-session-not-ended)); \"Please reboot the machine "
       "and reinstall DUN\": [that ending](#ending-reinstall-not-scheduled). If nothing comes "
       "back, start `C:\\NETREVIVE.EXE` again."},
      {"call-ran-twice", "\"I ran it again\" (twice, or again after the restart)",
       "What did the second run say last?", "Start, Run, `C:\\NETREVIVE.EXE Check`.",
       "Nothing is lost: a run that finds a repair under way carries it on and keeps the first "
       "run's system.tom and user.tom. \"REPAIR UNDER WAY\": restart and let it carry on. "
       "\"REPAIR STOPPED\": type the line the Check gives."},
      {"call-error-code", "\"It shows an error code\"",
       "The whole message, the code, and the line above the message.",
       "Optional: `C:\\NETREVIVE.EXE Check` shows what the run left.",
       "Look the message and the code up together in [error codes](#error-codes): meaning, "
       "action and the ending."},
      {"call-cd-before", "\"It asks for the Windows CD\" (before anything happened)",
       "Does the screen say \"Please put the Windows CD in drive D: and press any key.\"?",
       "None needed: nothing has been changed yet.",
       "The program found no Windows setup files, and Windows was installed from that CD drive. "
       "Put the CD in and press a key: it looks again and goes on. Without the CD, the key ends "
       "it with [setup files not found](#ending-refused-no-setup-files), nothing changed: start "
       "it again once the CD is at hand, or see [recovery CD](#call-recovery-cd)."},
      {"call-cd", "\"Windows asks for the CD\" or \"I clicked Cancel\" (during the reinstall)",
       "Which Windows (98, 98 SE or ME)? Is the CD in the drive, and which letter is the drive?",
       "`C:\\NETREVIVE.EXE Check`: \"Windows setup files\" names the folder found.",
       "The line \"Windows setup files:\", printed just before Windows' setup starts, names the "
       "folder to type in \"Copy files from:\", or the drive the CD goes in. Put the CD in, OK. "
       "If it still asks, type `D:\\WIN98` (98 and 98 SE CD; D: the CD drive) or `D:\\WIN9X` "
       "(ME CD), or the folder the Check named, OK. Cancel or Skip File installs no Dial-Up "
       "Networking: the program then says \"Windows' setup ended, but Dial-Up Networking was not "
       "installed\" ([that ending](#ending-dun-not-installed-by-setup)); put the CD in and type "
       "the line it gives."},
      {"call-recovery-cd", "\"I only have a recovery CD\"",
       "What does the Check's \"Windows setup files\" line say?",
       "`C:\\NETREVIVE.EXE Check`: \"Windows setup files\".",
       "The repair needs only a folder holding Windows' .CAB files: Windows' source path, "
       "`C:\\WINDOWS\\OPTIONS\\CABS` or `C:\\WINDOWS\\OPTIONS\\INSTALL`. If the Check names one, "
       "no CD is needed. If it says NOT FOUND, find the folder on the recovery CD that holds the "
       ".CAB files (such as `D:\\WIN98`) and type it in Windows' \"Copy files from:\" box. Never "
       "start the recovery CD's own restore: Windows asks only for files."},
      {"call-no-connection", "\"Still no connection\" (or \"it said successfully applied\")",
       "Did the PC restart after that line, and did the Check window come? Does the dial-up "
       "connection still exist in the Dial-Up Networking folder?",
       "Start, Run, `C:\\NETREVIVE.EXE Check`, and its Result line.",
       "\"NOT WORKING\": what the ending of its Result line says, "
       "[Winsock 2 settings](#ending-check-winsock2-settings), "
       "[Winsock 2 TCP/IP](#ending-check-winsock2-tcpip) or "
       "[Dial-Up Networking](#ending-check-dun-missing). \"REPAIRED\": make the connection again "
       "(Dial-Up Networking, Make New Connection, the noted number, user name and password), and "
       "install a DUN upgrade again if the PC had one."},
      {"call-undo", "\"Undo it\" (put the PC back as it was)",
       "Is Windows ME? Does Windows still start?",
       "After the undo, `C:\\NETREVIVE.EXE Check` shows what is back and what is not.",
       "system.tom and user.tom (on ME classes.tom too) hold the registry as it was before the "
       "first change; [the restore procedure](#the-backups) puts them back, and on ME tries "
       "System Restore to a day before the repair first (the program makes no restore point of "
       "its own). Either puts back the registry: the Winsock 2 settings, Dial-Up Networking's "
       "and the upgrade's entries, RunOnce. Neither puts back files: Dial-Up Networking's files "
       "stay as they are, an upgrade its uninstaller removed stays removed (install it again), "
       "and netrevive.QU and rundunreinst.QU in the Windows folder stay, so that the Check says "
       "REPAIR STOPPED and a new run carries the repair on: have the caller delete them."},
      {"call-old-backups", "\"I ran it last month\" (system.tom and user.tom are there)",
       "Did that repair finish (the Check's \"Repair under way\" line says no)?",
       "`C:\\NETREVIVE.EXE Check`: \"Repair under way\" and \"Registry backups\".",
       "A new repair replaces them with copies of today's registry: it copies to new files "
       "first and replaces system.tom and user.tom only once every copy is made (a failed copy "
       "refuses the repair and leaves the old ones). A run that finds a repair under way keeps "
       "them. To keep last month's, copy them to another folder before the new repair."},
      {"call-upgrade-uninstaller-missing", "\"It says DUNSETUP.EXE is missing\"",
       "Does the screen say \"A program the repair needs is missing:\" and then "
       "`C:\\WINDOWS\\SYSTEM\\DUNSETUP.EXE`?",
       "`C:\\NETREVIVE.EXE Check`: the \"DUN upgrade (MSDUN)\" line.",
       "dunsetup.exe is the DUN upgrade's own uninstaller: it belongs to the upgrade, not to "
       "Windows, and is not on the Windows CD. Install the upgrade again (DUN 1.4, from the "
       "MERX), which puts it back, then start `C:\\NETREVIVE.EXE` again. Nothing was changed."},
      {"call-floppy-zip-web", "\"I started it from the floppy, a zip or a web page\"",
       "What did the screen say? (\"started from a floppy disk or a network drive\", \"started "
       "from a temporary folder\").",
       "None needed: these refusals change nothing.",
       "Copy the program to C:\\ as in the [call script](#call-script), take the floppy out, "
       "start `C:\\NETREVIVE.EXE`."},
      {"call-upgrade", "\"The upgrade would not go\"",
       "What did the screen say? (\"Unknown uninstall string\", \"The Dial Up Networking Upgrade "
       "is still installed\", \"Unable to start the upgrade's uninstaller\").",
       "`C:\\NETREVIVE.EXE Check`: the \"DUN upgrade (MSDUN)\" line.",
       "Remove the upgrade with Control Panel, Add/Remove Programs, Install/Uninstall, restart. "
       "Then what the screen gives: `C:\\NETREVIVE.EXE UpgradeRemove` where it says so, else "
       "follow the ending ([unknown uninstaller](#ending-upgrade-unknown-uninstaller)). "
       "Install the upgrade again at the very end (DUN 1.4)."},
      {"call-me", "\"It is Windows ME\"",
       "The Windows version line of the first screen, or of the Check.",
       "`C:\\NETREVIVE.EXE Check`: \"Windows version: Windows ME\".",
       "The repair runs as on 98 SE (see [other kinds of PC](#other-kinds-of-pc)). To undo it "
       "see [undo it](#call-undo). Its setup files are in `C:\\WINDOWS\\OPTIONS\\INSTALL` or "
       "`D:\\WIN9X` on the CD."},
  };
  return kCalls;
}

const std::vector<StaleAdvice>& StaleAdvices() {
  static const std::vector<StaleAdvice> kAdvice = {
      {"run the fix again", "yes: a new run carries on a repair under way",
       "After a restart, start the program the same way: it keeps the first backups and goes on "
       "where the repair stopped."},
      {"run this program again", "yes: a new run carries on a repair under way",
       "After a restart, start the program the same way."},
      {"reinstall DUN via add/remove programs", "always, but the screen does not say where",
       "Dial-Up Networking is not in the Install/Uninstall list: [install Dial-Up Networking "
       "through Windows Setup](#recipe-install-dun)."},
      {"DUN 1.4, avialable from Microsoft's website",
       "no longer: the download is gone from that site",
       "The MERX gives the upgrade on a floppy disk, at the very end of the repair."},
      {"Please report this Error.", "always", "Have the caller read the whole screen to the MERX."},
  };
  return kAdvice;
}

#define NR_WINDOWS_SETUP                                                          \
  "Start > Settings > Control Panel > Add/Remove Programs > Windows Setup tab > " \
  "Communications > Details"

const std::vector<Recipe>& Recipes() {
  static const std::vector<Recipe> kRecipes = {
      {"reinstall Dial-Up Networking with Windows' own setup: " NR_WINDOWS_SETUP
       ", clear \"Dial-Up Networking\", OK, OK, restart when asked; then the same again with "
       "\"Dial-Up Networking\" ticked (have the Windows CD ready), and restart. Setting up DUN "
       "writes the Winsock 2 settings anew",
       "recipe-reinstall-dun", "reinstall Dial-Up Networking through Windows Setup"},
      {"install Dial-Up Networking with Windows' own setup: " NR_WINDOWS_SETUP
       ", tick \"Dial-Up Networking\", OK, OK (have the Windows CD ready), and restart when "
       "asked. Setting up DUN writes the Winsock 2 settings anew",
       "recipe-install-dun", "install Dial-Up Networking through Windows Setup"},
  };
  return kRecipes;
}

#undef NR_WINDOWS_SETUP

const char* CodeMeaning(int code) {
  switch (code) {
    case 2:
      return "not found: the key or value is not there";
    case 5:
      return "access denied: another program holds the key, or a policy forbids changes";
    case 87:
      return "invalid parameter: a damaged registry or a program that watches it";
    case 234:
      return "more data: an installed program's key name longer than 287 characters";
    case 259:
      return "no more items: the list changed while it was read (a program being installed)";
    case 1009:
      return "the registry database is damaged";
    case 1011:
      return "a registry key could not be opened";
    case 1015:
      return "the registry is damaged";
  }
  return "";
}

const char* CodeAction(int code) {
  switch (code) {
    case 2:
      return "at the Winsock2 key: an earlier run deleted it; never run the program again";
    case 5:
    case 87:
    case 234:
    case 259:
      return "restart, close other programs (virus scanners), then follow the ending";
    case 1009:
    case 1011:
    case 1015:
      return "damaged registry: MS-DOS mode, `scanreg /restore`, or the backups";
  }
  return "follow the ending";
}

const std::vector<Misspelling>& Misspellings() {
  static const std::vector<Misspelling> kWords = {
      {"occured", "occurred"},     {"existance", "existence"},    {"avialable", "available"},
      {"affilated", "affiliated"}, {"completeing", "completing"}, {"preforms", "performs"},
  };
  return kWords;
}

const std::vector<UnreachedLine>& UnreachedLines() {
  static const std::vector<UnreachedLine> kLines = {
      {"The program's path is too long to schedule its next run.",
       "runonce-failed-before-upgrade-removal reinstall-not-scheduled",
       "a program path with no room for the next run's command; the checks before the first "
       "change refuse such a path"},
      {"fix again from a shorter path.", "runonce-failed-before-upgrade-removal",
       "after the line above, where an upgrade was found"},
      {"A path or command line is too long for this program to build.",
       "reinstall-not-scheduled upgrade-uninstaller-not-built reinstall-cannot-start",
       "a Windows directory or program path too long for a command line; the checks before the "
       "first change refuse such a program path, and no simulated PC has such a Windows "
       "directory"},
      {"Windows version:          Windows 9x (<version>)", "",
       "a Windows 9x version that is neither 95, 98 nor ME, which no simulated PC has"},
      {"Windows setup files:      not looked at (network drive)", "",
       "Windows' source path on a network drive, which the Check does not touch"},
      {"Windows setup files:      C:\\WINDOWS\\OPTIONS\\INSTALL (not the source path)", "",
       "the setup files found in a folder other than Windows' source path: type that folder in "
       "\"Copy files from:\""},
      {"\t\"(a command too long to show)\"", "check-repair-under-way",
       "a RunOnce entry too long to read"},
  };
  return kLines;
}

}  // namespace netrevive::support_kit
