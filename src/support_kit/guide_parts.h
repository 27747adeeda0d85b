#ifndef NETREVIVE_SUPPORT_KIT_GUIDE_PARTS_H_
#define NETREVIVE_SUPPORT_KIT_GUIDE_PARTS_H_

// What the sections of the support guide share: the simulations they are
// made from and the formatting every section uses. Each section has a file
// of its own (guide_where.cc, guide_index.cc, ...); guide.cc puts them
// together.

#include <ctype.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <system_error>

#include "platform/simulated_pc/sim_presets.h"
#include "rehearsal/endings.h"
#include "rehearsal/files.h"
#include "rehearsal/machine_export.h"
#include "rehearsal/machine_source.h"
#include "rehearsal/options.h"
#include "support_kit/guide.h"
#include "support_kit/guide_html.h"
#include "support_kit/guide_text.h"
#include "support_kit/pause_probe.h"
#include "support_kit/prediction.h"
#include "support_kit/restore_procedure.h"

namespace netrevive::support_kit {

using rehearsal::Ending;
using rehearsal::EndingKind;
using rehearsal::Endings;
using rehearsal::ExportBranch;
using rehearsal::ExportBranches;
using rehearsal::ExportCommand;
using rehearsal::FindEnding;
using rehearsal::KeySource;
using rehearsal::ParseSimOptions;
using rehearsal::RunReport;
using rehearsal::RunSessions;
using rehearsal::SessionSettings;
using rehearsal::SimOptions;
using rehearsal::SimOutput;
using simulated_pc::PresetInfo;
using simulated_pc::PresetMachines;
using simulated_pc::SimMachine;

inline constexpr const char kBannerEnd[] = "QU please contact the MERX at 555-555-0142.\n\n\n";
inline constexpr const char kWalkthroughPreset[] = "98se";
inline constexpr size_t kWidth = 100;      // the longest line of prose
inline constexpr size_t kManyEndings = 8;  // a line printed by more endings is a progress line

// Every simulation the guide is made from.
struct GuideRuns {
  std::vector<std::pair<PresetInfo, GuideRun>> presets;
  std::vector<std::pair<const Ending*, GuideRun>> endings;  // each ending's reach
  std::vector<Stop> walkthrough;                            // the stops of the main repair
  std::vector<std::pair<std::string, std::vector<Stop>>> other_stops;  // by preset
  std::map<std::string, Stop> last_screens;  // each ending's last stop, by ending
  // Every stop of every ending's reach up to its run, by ending.
  std::map<std::string, std::vector<Stop>> reach_stops;
};

bool StartsWith(const std::string& text, const std::string& head);
bool Contains(const std::string& text, const std::string& part);
std::string ShellQuote(const std::string& arg);
std::vector<std::string> Lines(const std::string& text);
std::string TrimRight(std::string text);
std::string AfterBanner(const std::string& output);
std::string Block(const std::string& text);
std::string Wrap(const std::string& text, const std::string& indent = "");
std::string Html(const std::string& text);
std::string InlineHtml(const std::string& markdown);
std::string ScreenHtml(const std::string& line);
std::string Anchor(const std::string& ending);
std::string EndingLink(const std::string& name);
std::string HtmlTable(const std::string& cls, const std::vector<std::string>& heads,
                      const std::vector<std::vector<std::string>>& rows);
std::string WideTable(const std::string& cls, const std::vector<int>& widths,
                      const std::vector<std::string>& heads,
                      const std::vector<std::vector<std::string>>& rows);
std::string Heading(const std::string& level, const std::string& anchor, const std::string& title);
std::string DescribeRun(const RunReport& run, size_t number);
bool CodeTable(std::string* md, std::string* error);
const GuideRun* PresetRun(const GuideRuns& runs, const std::string& name);
bool CollectRuns(GuideRuns* runs, std::string* error);
std::string PresetDescription(const std::string& name);
std::string CallScript(const GuideRuns& runs);
// Formatting of a stop's facts (guide_facts.cc).
std::string ShortEnding(const std::string& name);
std::string DoneText(const PcFacts& done);
std::string ContinuationHtml(const Continuation& after);
std::string SafetyHtml(const Stop& stop);
std::string AfterKeyHtml(const Stop& stop);
std::string WhereTable(const GuideRuns& runs);
std::string StaleAdviceSection(const GuideRuns& runs);
std::string CallsSection();
std::string WalkthroughDot(const std::vector<Stop>& stops, bool restarts);
bool WriteDot(const std::string& dot, const std::string& svg_path, std::string* error);
std::string Walkthrough(const GuideRuns& runs, const std::string& svg);
std::string OtherPcs(const GuideRuns& runs);
std::string EndingsSection(const GuideRuns& runs);
std::string BackupsSection();
std::string PredictionSection();

}  // namespace netrevive::support_kit

#endif  // NETREVIVE_SUPPORT_KIT_GUIDE_PARTS_H_
