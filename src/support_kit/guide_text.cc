#include "support_kit/guide_text.h"

#include <map>

namespace netrevive::support_kit {

std::string EndingTitle(const std::string& name) {
  static const std::map<std::string, const char*> kTitles = {
      {"restart-for-reinstall", "Goes on: Windows restarts to reinstall Dial-Up Networking"},
      {"session-ended-for-upgrade", "Goes on: Windows logs off after removing the DUN upgrade"},
      {"repaired", "Repaired: Dial-Up Networking is back, Windows restarts"},
      {"repaired-restart-failed", "Repaired, but Windows did not restart by itself"},
      {"refused-nt", "Refused: Windows NT, 2000 or later"},
      {"refused-95", "Refused: Windows 95"},
      {"refused-not-full-path", "Refused: not started by its full path"},
      {"refused-path-blanks", "Refused: the program's path holds blanks"},
      {"refused-floppy-or-network", "Refused: started from a floppy disk or a network drive"},
      {"refused-from-cd", "Refused: started from a CD"},
      {"refused-no-rna-inf", "Refused: Windows' rna.inf is missing"},
      {"refused-path-too-long", "Refused: the program's path is too long"},
      {"usage", "Refused: words after the program's name"},
      {"backup-failed", "Refused: the registry could not be backed up"},
      {"services-key-unopened", "Refused: the Services key could not be opened"},
      {"repair-record-failed", "Refused: netrevive.QU could not be written"},
      {"backup-copy-failed", "Refused: a registry backup could not be copied"},
      {"backup-rename-failed", "Refused: a registry backup could not be renamed"},
      {"winsock2-delete-failed", "Stopped: the Winsock2 key could not be deleted"},
      {"upgrade-check-failed", "Stopped: the list of installed programs could not be read"},
      {"upgrade-unknown-uninstaller", "Stopped: a DUN upgrade the program cannot remove"},
      {"upgrade-uninstaller-not-built", "Stopped: the upgrade's uninstall command failed"},
      {"upgrade-uninstaller-cannot-start", "Stopped: the upgrade's uninstaller did not start"},
      {"uninstaller-entry-left", "Stopped: the uninstaller did not start, RunOnce entry left"},
      {"runonce-failed-before-upgrade-removal",
       "Stopped: RunOnce not written, the upgrade not removed"},
      {"runonce-failed-after-dun-uninstall", "Stopped: RunOnce not written after DUN was removed"},
      {"dun-uninstall-failed", "Stopped: Dial-Up Networking could not be uninstalled"},
      {"reinstall-not-scheduled", "Stopped: the reinstall could not be scheduled"},
      {"restart-not-started", "Stopped: Windows did not restart (the reinstall is scheduled)"},
      {"session-not-ended", "Stopped: Windows did not log off after the upgrade removal"},
      {"reinstall-not-authorised", "Nothing to do: a reinstall run with DUN installed"},
      {"reinstall-start-by-hand", "Stopped: DUN missing, no reinstall authorised"},
      {"dun-install-marker-failed", "Stopped: DUN missing, rundunreinst.QU not written"},
      {"reinstall-cannot-start", "Stopped: Windows' setup of DUN did not start"},
      {"reinstall-cannot-complete", "Stopped: the Dial-Up Adapter could not be installed"},
      // The checks before the first change, and the reinstall that looks.
      {"refused-temporary-folder", "Refused: started from a temporary folder (zip, web page)"},
      {"refused-program-missing", "Refused: a Windows program the repair needs is missing"},
      {"refused-runonce-unopened", "Refused: the RunOnce key could not be opened"},
      {"refused-no-setup-files", "Refused: Windows' setup files were not found"},
      {"refused-upgrade-check-failed", "Refused: the list of installed programs was unreadable"},
      {"refused-upgrade-unknown-uninstaller", "Refused: a DUN upgrade the program cannot remove"},
      {"refused-upgrade-uninstaller-not-built",
       "Refused: the upgrade's uninstall command could not be built"},
      {"dun-not-installed-by-setup", "Stopped: Windows' setup installed no Dial-Up Networking"},
      {"upgrade-still-installed", "Stopped: the DUN upgrade is still installed"},
      {"setup-tries-used-up", "Stopped: a setup step was started twice"},
      // The Check's results.
      {"check-repaired", "Check: REPAIRED"},
      {"check-repair-under-way", "Check: REPAIR UNDER WAY, restart the PC"},
      {"check-repair-stopped", "Check: REPAIR STOPPED, start the program again"},
      {"check-upgrade-left", "Check: REPAIR STOPPED, the DUN upgrade is still installed"},
      {"check-winsock2-settings", "Check: NOT WORKING, the Winsock 2 settings are missing"},
      {"check-winsock2-tcpip", "Check: NOT WORKING, Winsock 2 has no TCP/IP"},
      {"check-dun-missing", "Check: NOT WORKING, Dial-Up Networking is not installed"},
      {"check-not-9x", "Check: not Windows 98 or ME"},
  };
  auto it = kTitles.find(name);
  return it == kTitles.end() ? "Ending: " + name : it->second;
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

const std::vector<GuideCall>& GuideCalls() {
  static const std::vector<GuideCall> kCalls = {
      {"call-restarted-nothing", "\"The PC restarted and now shows nothing\"",
       "Is a Netrevive window on the taskbar? What was the last line before the restart? Is a "
       "floppy disk in the drive (the PC stops at \"Non-system disk\")?",
       "Start, Run, `C:\\NETREVIVE.EXE Check`: the \"Repair under way\" line and the Result.",
       "\"REPAIR UNDER WAY\": restart the PC (Start, Shut Down, Restart) and let the program come "
       "back. \"REPAIR STOPPED\": type the line the Check gives (Start, Run, "
       "`C:\\NETREVIVE.EXE ReinstallDUN`). \"REPAIRED\" or \"NOT WORKING\": see "
       "[still no connection](#call-no-connection). The rows after a restart in "
       "[where is the caller now](#where-is-the-caller-now) show what should have come back."},
      {"call-no-connection", "\"It said successfully applied, but I still cannot connect\"",
       "Did the PC restart after that line, and did the Check window come? Does the dial-up "
       "connection still exist in the Dial-Up Networking folder?",
       "Start, Run, `C:\\NETREVIVE.EXE Check`, and the lines that say NOT WORKING, MISSING or "
       "NOT INSTALLED.",
       "\"NOT WORKING\": what the ending of its Result line says, "
       "[Winsock 2 settings](#ending-check-winsock2-settings), "
       "[Winsock 2 TCP/IP](#ending-check-winsock2-tcpip) or "
       "[Dial-Up Networking](#ending-check-dun-missing). \"REPAIRED\": make the connection again "
       "(Dial-Up "
       "Networking, Make New Connection, the noted number, user name and password), and "
       "install a DUN upgrade again if the PC had one."},
      {"call-ran-twice", "\"I ran it twice\" (or \"I started it again after the restart\")",
       "What did the second run say last?", "Start, Run, `C:\\NETREVIVE.EXE Check`.",
       "Nothing is lost: a run that finds a repair under way carries it on. \"REPAIR UNDER "
       "WAY\": restart and let it carry on. \"REPAIR STOPPED\": type the line the Check gives. "
       "The backups system.tom and user.tom of the first run are kept."},
      {"call-error-code", "\"It shows an error code\"",
       "The whole message, the code, and the line above the message.",
       "Optional: `C:\\NETREVIVE.EXE Check` shows what the run left.",
       "Look the message and the code up together in [error codes](#error-codes): meaning, "
       "action and the ending."},
      {"call-cd", "\"Windows asks for the CD or a folder\" (during the reinstall)",
       "Which Windows (98, 98 SE or ME)? Is the CD in the drive, and which letter is the drive?",
       "`C:\\NETREVIVE.EXE Check` before or after: \"Windows setup files\" names the folder found.",
       "The program's line \"Windows setup files:\", printed just before Windows' setup "
       "starts, names the folder to type in \"Copy files from:\", or the drive the CD goes in. "
       "Put the CD in and click OK. If it still asks, type in \"Copy files from:\" `D:\\WIN98` "
       "(98 and 98 SE CD; D: the CD drive) or `D:\\WIN9X` (ME CD), or the folder the Check "
       "named, such as `C:\\WINDOWS\\OPTIONS\\CABS` (ME: `C:\\WINDOWS\\OPTIONS\\INSTALL`), OK. "
       "Skip File or Cancel installs no Dial-Up Networking: the program then says \"Windows' "
       "setup ended, but Dial-Up Networking was not installed\"; put the CD in and type the "
       "line it gives (Start, Run, `C:\\NETREVIVE.EXE ReinstallDUN`)."},
      {"call-floppy-zip-web", "\"I started it from the floppy, a zip or a web page\"",
       "What did the screen say? (\"started from a floppy disk or a network drive\", \"started "
       "from a temporary folder\").",
       "None needed: these refusals change nothing.",
       "Copy the program to C:\\ as in the [call script](#call-script), take the floppy out, "
       "start `C:\\NETREVIVE.EXE`. See [started from a floppy disk or a network "
       "drive](#ending-refused-floppy-or-network)."},
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
       "The repair runs as on 98 SE (see [other kinds of PC](#other-kinds-of-pc)). ME has no "
       "MS-DOS mode: to restore the registry use System Restore first, then the ME startup "
       "disk ([the backups](#the-backups)). Its setup files are in "
       "`C:\\WINDOWS\\OPTIONS\\INSTALL` or `D:\\WIN9X` on the CD."},
  };
  return kCalls;
}

const std::vector<StaleAdvice>& StaleAdvices() {
  static const std::vector<StaleAdvice> kAdvice = {
      {"run the fix again", "yes: a new run carries on a repair under way",
       "After a restart, start the program the same way: it keeps the first backups and goes on "
       "where the repair stopped.",
       false},
      {"run this program again", "yes: a new run carries on a repair under way",
       "After a restart, start the program the same way.", false},
      {"reinstall DUN via add/remove programs", "always, but the screen does not say where",
       "Dial-Up Networking is not in the Install/Uninstall list: [install Dial-Up Networking "
       "through Windows Setup](#recipe-install-dun).",
       false},
      {"DUN 1.4, avialable from Microsoft's website",
       "no longer: the download is gone from that site",
       "The MERX gives the upgrade on a floppy disk, at the very end of the repair.", false},
      {"Please report this Error.", "always", "Have the caller read the whole screen to the MERX.",
       false},
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

}  // namespace netrevive::support_kit
