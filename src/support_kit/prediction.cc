#include "support_kit/prediction.h"

#include "rehearsal/endings.h"

namespace netrevive::support_kit {

using rehearsal::Ending;
using rehearsal::EndingKind;
using rehearsal::KindName;
using rehearsal::RunReport;
using rehearsal::SessionReport;
using simulated_pc::SessionRequest;

std::vector<std::string> PredictionLines(const SessionReport& report) {
  std::vector<std::string> lines;
  const Ending* first_stop = nullptr;
  size_t stop_run = 0;
  for (size_t i = 0; i < report.runs.size(); ++i) {
    const RunReport& run = report.runs[i];
    std::string who = run.runonce_name.empty()
                          ? "the caller starts it"
                          : "Windows starts it from RunOnce \"" + run.runonce_name + "\"";
    std::string argv;
    for (size_t a = 0; a < run.argv.size(); ++a) argv += (a ? " " : "") + run.argv[a];
    const Ending* ending = run.ending;
    lines.push_back("  run " + std::to_string(i + 1) + " (" + who + ": " + argv +
                    "): " + run.ending_name + " (" +
                    (ending == nullptr ? "unknown" : KindName(ending->kind)) + ")");
    if (run.session_end != SessionRequest::kNone) {
      lines.push_back("    then " +
                      std::string(rehearsal::NamesOf(run.session_end).prediction_then));
    }
    const bool goes_on = ending != nullptr && (ending->kind == EndingKind::kGoesOn ||
                                               ending->kind == EndingKind::kRepaired);
    if (!goes_on && first_stop == nullptr) {
      first_stop = ending;
      stop_run = i + 1;
    }
  }
  lines.push_back("  restarts: " + std::to_string(report.restarts) +
                  ", log-offs: " + std::to_string(report.logoffs));
  const bool repaired = !report.runs.empty() && report.runs.back().ending != nullptr &&
                        report.runs.back().ending->kind == EndingKind::kRepaired;
  if (first_stop == nullptr && repaired) {
    lines.push_back("  the repair completes");
  } else if (stop_run == 0) {
    lines.push_back("  the repair does not complete: the simulation stopped first");
  } else {
    lines.push_back(
        "  the repair stops in run " + std::to_string(stop_run) + " at " +
        (first_stop == nullptr ? std::string("an unknown ending") : std::string(first_stop->name)));
    if (first_stop != nullptr) {
      lines.push_back("  meaning: " + std::string(first_stop->meaning));
      lines.push_back("  advice: " + std::string(first_stop->advice));
    }
  }
  return lines;
}

}  // namespace netrevive::support_kit
