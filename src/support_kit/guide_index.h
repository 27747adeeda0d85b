#ifndef NETREVIVE_SUPPORT_KIT_GUIDE_INDEX_H_
#define NETREVIVE_SUPPORT_KIT_GUIDE_INDEX_H_

// The support guide's index of what the caller reads: every line the
// program can print, each with the endings it belongs to, the line that
// tells them apart, and for a progress line the stop it is on the screen at.

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support_kit/guide_parts.h"

namespace netrevive::support_kit {

// For a line a few endings print: one of them, with the nearest line only
// its runs print around it ("" when none does: ask for the whole screen).
struct ApartLine {
  std::string ending;
  std::string line;
  bool later = false;  // the line comes after it, not before
};

// One line of the index.
struct IndexRow {
  std::string line;               // as the screen shows it (tabs kept)
  std::set<std::string> endings;  // the endings of the runs that print it
  std::set<size_t> next;          // the rows printed right after it by some run
  // The stops a progress line is on the screen at, with their PC's preset.
  std::vector<std::pair<std::string, const Stop*>> stops;
  std::string unreached;         // for a line no run prints: when the program prints it
  bool banner = false;           // a line of the banner every run prints first
  std::vector<ApartLine> apart;  // for a line of a few endings: what tells each apart
};

// The index's rows: the banner, then every line the guide's runs and the
// index's own reaches print after it, in the order of first appearance,
// then the lines no simulated run prints. False with a message when a
// reach's arguments are not taken or a line no run prints names no ending.
bool IndexRows(const GuideRuns& runs, std::vector<IndexRow>* rows, std::string* error);

// The section "What the caller reads, and what to do".
bool LineIndex(const GuideRuns& runs, std::string* md, std::string* error);

}  // namespace netrevive::support_kit

#endif  // NETREVIVE_SUPPORT_KIT_GUIDE_INDEX_H_
