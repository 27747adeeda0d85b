#include "rehearsal/transcript.h"

namespace netrevive::rehearsal {

using simulated_pc::RunOnceAction;
using simulated_pc::SessionRequest;

std::string Transcript(const std::vector<SimEvent>& events) {
  std::string out;
  bool restart = false;
  bool session_ended = false;
  for (const SimEvent& event : events) {
    switch (event.kind) {
      case EventKind::kUserStarts:
        out += "<start: " + event.command + ">\n";
        break;
      case EventKind::kRunOnceEntry:
        if (event.entry.action == RunOnceAction::kRunsProgram) {
          out += "<RunOnce \"" + event.entry.name + "\": " + event.entry.command + ">\n";
        }
        break;
      case EventKind::kProgramStarts:
        restart = false;
        session_ended = false;
        break;
      case EventKind::kProgramOutput:
        out += event.text;
        break;
      case EventKind::kKeyPause:
        out += kKeyMark;
        break;
      case EventKind::kHelperStarted:
        restart = restart || event.request == SessionRequest::kRestart;
        break;
      case EventKind::kExitWindows:
        session_ended = true;
        break;
      case EventKind::kProgramEnded:
        out += "<exit " + std::to_string(event.number) + ">\n";
        if (restart) out += "<restart requested>\n";
        if (session_ended) out += "<session ended>\n";
        break;
      case EventKind::kRunOnceEmpty:
        out += "<RunOnce empty>\n";
        break;
      case EventKind::kCallerRunsCheck:
        // The rehearsal's closing verdict is not part of the path.
        return out;
      default:
        break;
    }
  }
  return out;
}

}  // namespace netrevive::rehearsal
