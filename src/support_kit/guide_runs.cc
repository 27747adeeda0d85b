// The simulations the support guide is made from.

#include "support_kit/guide_parts.h"

namespace netrevive::support_kit {

const GuideRun* PresetRun(const GuideRuns& runs, const std::string& name) {
  for (const auto& [preset, sim] : runs.presets) {
    if (preset.name == name) return &sim;
  }
  return nullptr;
}

bool CollectRuns(GuideRuns* runs, std::string* error) {
  for (const PresetInfo& preset : PresetMachines()) {
    GuideRun sim;
    if (!SimulateInMemory({"--preset", preset.name}, &sim, error)) return false;
    runs->presets.push_back({preset, sim});
  }
  for (const Ending& ending : Endings()) {
    GuideRun sim;
    if (!SimulateInMemory(ending.reach, &sim, error)) {
      *error = "ending " + std::string(ending.name) + ": " + *error;
      return false;
    }
    const std::vector<RunReport>& reports = sim.report.runs;
    const size_t index = static_cast<size_t>(ending.reach_run - 1);
    if (index >= reports.size() || reports[index].ending != &ending) {
      *error = "ending " + std::string(ending.name) + ": " + CommandLineOf(ending.reach) +
               " ends run " + std::to_string(ending.reach_run) + " in " +
               (index < reports.size() ? reports[index].ending_name : std::string("no such run"));
      return false;
    }
    runs->endings.push_back({&ending, sim});
    std::vector<Stop> stops;
    if (!ProbeStops(ending.reach, &stops, error)) return false;
    for (const Stop& stop : stops) {
      if (stop.run > ending.reach_run) break;
      runs->reach_stops[ending.name].push_back(stop);
      if (stop.last && stop.run == ending.reach_run) runs->last_screens[ending.name] = stop;
    }
  }
  if (!ProbeStops({"--preset", kWalkthroughPreset}, &runs->walkthrough, error)) return false;
  for (const char* preset : {"upgrade-dunsetup", "upgrade-rundll32", "no-dun", "cd-not-in-drive"}) {
    std::vector<Stop> stops;
    if (!ProbeStops({"--preset", preset}, &stops, error)) return false;
    runs->other_stops.push_back({preset, stops});
  }
  return true;
}

std::string PresetDescription(const std::string& name) {
  for (const PresetInfo& preset : PresetMachines()) {
    if (preset.name == name) return preset.description;
  }
  return name;
}

}  // namespace netrevive::support_kit
