// The support guide's index of what the caller reads holds every line the
// program can print: each text the program's sources hold (src/steps,
// src/console, src/driver) is part of a line of the index, unless it is a
// name the program passes to Windows and never shows.

#include "support_kit/guide_index.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace netrevive::support_kit {
namespace {

// Texts in the program's sources that never reach the screen: registry
// names, file names and command lines it hands to Windows, and the
// contents of its own files.
const char* const kNotShown[] = {
    // Registry keys and values the program opens or reads.
    "System\\CurrentControlSet\\Services", "System\\CurrentControlSet\\Services\\Winsock2",
    "System\\CurrentControlSet\\Services\\Class\\Net", "Winsock2", "\\Ndi", "DeviceID", "*PNP8387",
    "dunfile", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Setup", "SourcePath", "UninstallString", "MSDUN",
    "QU Netrevive",
    // Files and folders it builds paths to, and the patterns it looks for.
    "\\system.dat", "\\user.dat", "\\classes.dat", "\\system.tom", "\\user.tom", "\\classes.tom",
    "\\system.nr$", "\\user.nr$", "\\classes.nr$", "\\netrevive.QU", "\\rundunreinst.QU",
    "\\inf\\rna.inf", "\\rundll32.exe", "\\rundll.exe", "\\system\\setupx.dll",
    "\\system\\rnasetup.dll", "\\system\\dunsetup.exe", "\\system\\", "\\system", "\\", "\\\\",
    "\\*.CAB", "\\OPTIONS\\CABS", "\\OPTIONS\\INSTALL", "\\Temporary Internet Files\\", "TMP",
    "TEMP", "system.tom", "user.tom",
    // The helpers' command lines and the upgrade's uninstall texts it compares.
    "rnasetup.dll,UninstallUpgrade", "rnasetup.dll,RnaReboot",
    "setupx.dll,InstallHinfSection RNA 128", "rnasetup.dll,InstallDefaultDrv", "dunsetup.exe /u",
    "rundll.exe", "rundll32.exe",
    // The contents of netrevive.QU and rundunreinst.QU.
    "REPAIR UNDER WAY", "TRIES", "REINSTALL",
    // A message for the compiler.
    "the backup paths must hold the longest Windows directory and file name"};

// The string literals of a C++ source, adjacent ones joined, escapes read;
// comments, character literals and #include lines skipped.
std::vector<std::string> Literals(const std::string& source) {
  std::vector<std::string> out;
  bool joining = false;  // only blanks since the last literal ended
  for (size_t i = 0; i < source.size();) {
    const char c = source[i];
    if (source.compare(i, 2, "//") == 0 || source.compare(i, 8, "#include") == 0) {
      i = source.find('\n', i);
      if (i == std::string::npos) break;
      continue;
    }
    if (source.compare(i, 2, "/*") == 0) {
      i = source.find("*/", i) + 2;
      continue;
    }
    if (c == '\'') {
      for (++i; i < source.size() && source[i] != '\''; ++i) i += source[i] == '\\' ? 1 : 0;
      ++i;
      joining = false;
      continue;
    }
    if (c != '"') {
      if (c != ' ' && c != '\n' && c != '\t') joining = false;
      ++i;
      continue;
    }
    std::string text;
    for (++i; i < source.size() && source[i] != '"'; ++i) {
      if (source[i] != '\\') {
        text += source[i];
        continue;
      }
      const char e = source[++i];
      text += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
    }
    ++i;
    if (joining && !out.empty()) {
      out.back() += text;
    } else {
      out.push_back(text);
    }
    joining = true;
  }
  return out;
}

// Blanks, tabs and line ends as one blank, none at either end.
std::string Squeezed(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// Whether part is in line; a '?' in part, which the program fills in
// (the CD drive's letter), stands for any one character.
bool HoldsPart(const std::string& line, const std::string& part) {
  for (size_t at = 0; at + part.size() <= line.size(); ++at) {
    size_t i = 0;
    while (i < part.size() && (part[i] == '?' || part[i] == line[at + i])) ++i;
    if (i == part.size()) return true;
  }
  return false;
}

struct SourceText {
  std::string file;
  std::string text;
};

std::vector<SourceText> ProgramTexts() {
  std::vector<SourceText> out;
  for (const char* dir : {"src/steps", "src/console", "src/driver"}) {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(NETREVIVE_SOURCE_DIR) + "/" + dir)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".cc" && ext != ".h") continue;
      std::ifstream in(entry.path());
      std::stringstream data;
      data << in.rdbuf();
      for (const std::string& literal : Literals(data.str())) {
        out.push_back({entry.path().filename().string(), literal});
      }
    }
  }
  return out;
}

TEST(GuideIndexTest, EveryTextTheProgramPrintsIsInTheIndex) {
  GuideRuns runs;
  std::string error;
  ASSERT_TRUE(CollectRuns(&runs, &error)) << error;
  std::vector<IndexRow> rows;
  ASSERT_TRUE(IndexRows(runs, &rows, &error)) << error;
  std::vector<std::string> lines;
  for (const IndexRow& row : rows) lines.push_back(Squeezed(row.line));
  const std::set<std::string> not_shown(std::begin(kNotShown), std::end(kNotShown));
  std::set<std::string> used;
  const std::vector<SourceText> texts = ProgramTexts();
  ASSERT_GT(texts.size(), 100u);
  for (const SourceText& source : texts) {
    // Each line of the text, and each part of it between tabs.
    std::string part;
    for (size_t i = 0; i <= source.text.size(); ++i) {
      if (i < source.text.size() && source.text[i] != '\n' && source.text[i] != '\t') {
        part += source.text[i];
        continue;
      }
      const std::string squeezed = Squeezed(part);
      part.clear();
      if (squeezed.empty()) continue;
      if (not_shown.count(squeezed) != 0) {
        used.insert(squeezed);
        continue;
      }
      bool found = false;
      for (const std::string& line : lines) found = found || HoldsPart(line, squeezed);
      EXPECT_TRUE(found) << source.file << ": \"" << squeezed
                         << "\" is in no line of the index: reach it in IndexReaches "
                            "(guide_index.cc) or list it in UnreachedLines (guide_text.cc)";
    }
  }
  // A name the sources no longer hold is taken off the list.
  for (const char* name : kNotShown) EXPECT_EQ(used.count(name), 1u) << name;
}

// The literal reader the test above stands on.
TEST(GuideIndexTest, LiteralsAreReadAsTheCompilerJoinsThem) {
  const std::vector<std::string> literals = Literals(
      "#include \"a.h\"\n// \"comment\"\nf('\"', \"one \"\n  \"two\\n\\t\\\"x\\\"\");"
      "/* \"no\" */ g(\"three\", \"four\");");
  EXPECT_EQ(literals, (std::vector<std::string>{"one two\n\t\"x\"", "three", "four"}));
  EXPECT_TRUE(HoldsPart("Please put the Windows CD in drive D: and press any key.",
                        "Please put the Windows CD in drive ?: and press any key."));
  EXPECT_FALSE(HoldsPart("Unable to DUN Reboot.", "Unable to DUN Reboot. Again"));
}

// The lines no simulated run prints are not printed by one after all, and
// the index links each progress line to the stops it is on the screen at.
TEST(GuideIndexTest, ProgressLinesLeadToTheirStops) {
  GuideRuns runs;
  std::string error;
  ASSERT_TRUE(CollectRuns(&runs, &error)) << error;
  std::vector<IndexRow> rows;
  ASSERT_TRUE(IndexRows(runs, &rows, &error)) << error;
  bool seen = false;
  for (const IndexRow& row : rows) {
    if (row.line != "Removing all Winsock2 information from the registry...") continue;
    seen = true;
    ASSERT_FALSE(row.stops.empty());
    EXPECT_EQ(row.stops.front().first, "98se");
    EXPECT_EQ(row.stops.front().second->run, 1);
    EXPECT_EQ(row.stops.front().second->pause, 1);
    EXPECT_FALSE(row.next.empty());
  }
  EXPECT_TRUE(seen);
}

// A line several endings print names, for each, a line of the index only
// that ending's runs print next to it: the page links it by its number.
TEST(GuideIndexTest, LinesThatTellEndingsApartAreInTheIndex) {
  GuideRuns runs;
  std::string error;
  ASSERT_TRUE(CollectRuns(&runs, &error)) << error;
  std::vector<IndexRow> rows;
  ASSERT_TRUE(IndexRows(runs, &rows, &error)) << error;
  std::set<std::string> lines;
  for (const IndexRow& row : rows) lines.insert(row.line);
  bool seen = false;
  for (const IndexRow& row : rows) {
    for (const ApartLine& apart : row.apart) {
      EXPECT_EQ(row.endings.count(apart.ending), 1u) << row.line << ": " << apart.ending;
      if (!apart.line.empty()) {
        EXPECT_EQ(lines.count(apart.line), 1u) << apart.line;
      }
    }
    if (row.line != "Proceeding with the uninstallation of Dial-Up Networking...") continue;
    for (const ApartLine& apart : row.apart) {
      if (apart.ending != "dun-uninstall-failed") continue;
      seen = true;
      EXPECT_TRUE(apart.later);
      EXPECT_EQ(apart.line, "Unable to remove DUN, remove DUN thru add remove programs.");
    }
  }
  EXPECT_TRUE(seen);
}

// The page's index: every number a row links (a line that tells endings
// apart, a line printed next) is a line of the index, and the line that
// tells an ending apart is linked by its own number.
TEST(GuideIndexTest, TheIndexLinksLinesByTheirNumbers) {
  GuideRuns runs;
  std::string error;
  ASSERT_TRUE(CollectRuns(&runs, &error)) << error;
  std::string wrapped;
  ASSERT_TRUE(LineIndex(runs, &wrapped, &error)) << error;
  const std::string md = Squeezed(wrapped);
  // Each line's number and words, as the page gives them.
  std::map<int, std::string> lines;
  std::map<std::string, std::string> next_of;  // line -> its data-next
  const std::string kId = "id=\"line-";
  for (size_t at = md.find(kId); at != std::string::npos; at = md.find(kId, at + 1)) {
    const size_t code = md.find("<code>", at) + 6;
    const std::string line = md.substr(code, md.find("</code>", code) - code);
    lines[std::stoi(md.substr(at + kId.size()))] = line;
    const std::string tag = md.substr(at, md.find('>', at) - at);
    const size_t next = tag.find("data-next=\"");
    if (next != std::string::npos) next_of[line] = tag.substr(next + 11, tag.size() - next - 12);
  }
  ASSERT_GT(lines.size(), 100u);
  EXPECT_EQ(lines.begin()->first, 1);
  EXPECT_EQ(lines.rbegin()->first, static_cast<int>(lines.size()));
  for (const std::string mark : {"href=\"#line-", "data-next=\""}) {
    for (size_t at = md.find(mark); at != std::string::npos; at = md.find(mark, at + 1)) {
      const size_t start = at + mark.size();
      std::istringstream numbers(md.substr(start, md.find('"', start) - start));
      for (std::string n; std::getline(numbers, n, ',');) {
        EXPECT_EQ(lines.count(std::stoi(n)), 1u) << mark << n;
      }
    }
  }
  // Every run prints "This computer is running ..." right after "Determining OS version...".
  std::string running;
  for (const auto& [number, line] : lines) {
    if (line == "This computer is running Windows 98SE") running = std::to_string(number);
  }
  EXPECT_NE(("," + next_of["Determining OS version..."] + ",").find("," + running + ","),
            std::string::npos);
  // "Proceeding with the uninstallation ..." is told apart from the line after it.
  const size_t row = md.find("<code>Proceeding with the uninstallation of Dial-Up Networking...");
  ASSERT_NE(row, std::string::npos);
  const std::string kThen = "dun-uninstall-failed</a> then&nbsp;<a class=\"line\" href=\"#line-";
  const size_t then = md.find(kThen, row);
  ASSERT_NE(then, std::string::npos);
  EXPECT_EQ(lines[std::stoi(md.substr(then + kThen.size()))],
            "Unable to remove DUN, remove DUN thru add remove programs.");
}

}  // namespace
}  // namespace netrevive::support_kit
