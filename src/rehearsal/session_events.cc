#include "rehearsal/session_events.h"

namespace netrevive::rehearsal {

using simulated_pc::RunOnceAction;
using simulated_pc::SessionRequest;

namespace {

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

std::string RunOnceEntryLine(const SimEvent& event) {
  const std::string name = event.entry.name.empty() ? "(default)" : Quote(event.entry.name);
  const std::string head = "session " + std::to_string(event.session) + ": RunOnce " + name;
  if (event.entry.action == RunOnceAction::kDroppedNotText) {
    return head + " is not text; Windows deletes it and goes on";
  }
  return head + " = " + event.entry.command;
}

}  // namespace

const SessionEndNames& NamesOf(SessionRequest request) {
  for (const SessionEndNames& names : kSessionEndNames) {
    if (names.request == request) return names;
  }
  return kSessionEndNames[0];
}

std::string HelperStart(const SimEvent& event) {
  return event.text + " (in " + (event.folder.empty() ? std::string("no folder") : event.folder) +
         ") -> " + event.effect;
}

std::string EventLine(const SimEvent& event) {
  const SessionEndNames& ended = NamesOf(event.request);
  switch (event.kind) {
    case EventKind::kProgramOutput:
      return "";
    case EventKind::kKeyPause:
      return "[key]";
    case EventKind::kProgramStarts: {
      std::string shown;
      for (size_t i = 0; i < event.argv.size(); ++i) {
        shown += (i == 0 ? "" : " ") + std::string("argv[") + std::to_string(i) +
                 "]=" + Quote(event.argv[i]);
      }
      return "the program starts: " + shown;
    }
    case EventKind::kProgramEnded:
      return "the program ended (exit status " + std::to_string(event.number) + ")";
    case EventKind::kEnding:
      return "ending: " + event.text;
    case EventKind::kEndingMeaning:
      return "meaning: " + std::string(event.ending->meaning);
    case EventKind::kEndingAdvice:
      return "advice: " + std::string(event.ending->advice);
    case EventKind::kInjectedFault:
      return "injected fault: " + event.text;
    case EventKind::kHelperStarted:
      return "helper: " + HelperStart(event);
    case EventKind::kHelperNotStarted:
      return "helper not started: " + event.text + " (status " + std::to_string(event.number) + ")";
    case EventKind::kExitWindows:
      return "ExitWindowsEx: " + std::string(ended.exit_windows);
    case EventKind::kUserStarts:
      return "session 1: the user starts " + event.text;
    case EventKind::kLastSessionEnded:
      return "the machine's last session ended " + std::string(ended.last_session);
    case EventKind::kSessionEnds:
      return ended.windows_next;
    case EventKind::kRunOnceEmpty:
      return "session " + std::to_string(event.session) +
             ": RunOnce is empty, nothing more is scheduled";
    case EventKind::kRunOnceEntry:
      return RunOnceEntryLine(event);
    case EventKind::kRunOnceDropped:
      if (event.entry.action == RunOnceAction::kDroppedDriveGone) {
        return "Windows cannot find " + event.entry.resolved.program +
               ": its floppy disk or network drive is gone after the restart; the entry is "
               "dropped";
      }
      return "Windows cannot find the program of this entry; it is dropped";
    case EventKind::kWindowsRuns:
      return "Windows runs " + event.entry.resolved.program + " -> " + event.effect;
    case EventKind::kSimulationEnds:
      return "no restart or log-off was requested; the simulation ends";
    case EventKind::kStoppedAtOneRun:
      return "--one-run: stopping before Windows " + std::string(ended.stopped_before);
    case EventKind::kStoppedAtSessions:
      return "stopping after " + std::to_string(event.number) +
             " sessions: every session schedules another";
    case EventKind::kDiscInserted:
      return "the Windows CD is put in its drive";
    case EventKind::kCallerRunsCheck:
      return "the caller runs the Check: Start, Run, " + event.text;
    case EventKind::kReportLine:
      return event.text;
  }
  return event.text;
}

void SimOutput::Program(const char* data, size_t size) {
  if (size == 0) return;
  if (out_ != nullptr) fwrite(data, 1, size, out_);
  if (events_ != nullptr) {
    if (events_->empty() || events_->back().kind != EventKind::kProgramOutput) {
      SimEvent output;
      output.kind = EventKind::kProgramOutput;
      events_->push_back(output);
    }
    events_->back().text.append(data, size);
  }
  at_line_start_ = data[size - 1] == '\n';
}

void SimOutput::Add(SimEvent event) {
  if (event.kind == EventKind::kProgramOutput) {
    Program(event.text.data(), event.text.size());
    return;
  }
  if (out_ != nullptr) {
    if (!at_line_start_) fputc('\n', out_);
    fputs("== ", out_);
    fputs(EventLine(event).c_str(), out_);
    fputc('\n', out_);
  }
  if (events_ != nullptr) events_->push_back(std::move(event));
  at_line_start_ = true;
}

void SimOutput::Line(const std::string& text) {
  SimEvent event;
  event.kind = EventKind::kReportLine;
  event.text = text;
  Add(std::move(event));
}

void SimOutput::Flush() {
  if (out_ != nullptr) fflush(out_);
}

}  // namespace netrevive::rehearsal
