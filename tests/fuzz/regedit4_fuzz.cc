// libFuzzer target for the REGEDIT4 reader. Whatever the text, reading it
// must end with either a file or an error on a real line; a file that was
// read must write out and read back to the same file, and importing it into
// a machine and exporting the machine must also survive a write and a read.

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "platform/simulated_pc/sim_machine.h"
#include "rehearsal/regedit4.h"

namespace {

using netrevive::rehearsal::ExportRegFile;
using netrevive::rehearsal::ImportRegFile;
using netrevive::rehearsal::ParseRegFile;
using netrevive::rehearsal::RegFile;
using netrevive::rehearsal::RegFileError;
using netrevive::rehearsal::WriteRegFile;
using netrevive::simulated_pc::SimMachine;

[[noreturn]] void Fail(const char* what, const std::string& text) {
  fprintf(stderr, "%s\n--- text (%zu bytes)\n%s\n---\n", what, text.size(), text.c_str());
  abort();
}

size_t LineCount(const std::string& text) {
  size_t lines = 1;
  for (char c : text) lines += c == '\n' ? 1 : 0;
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  RegFile file;
  RegFileError error;
  if (!ParseRegFile(text, &file, &error)) {
    if (error.line < 1 || static_cast<size_t>(error.line) > LineCount(text)) {
      Fail("the error names no line of the text", text);
    }
    if (error.message.empty()) Fail("the error has no message", text);
    if (!file.keys.empty()) Fail("a failed read left keys in the file", text);
    return 0;
  }

  const std::string written = WriteRegFile(file);
  RegFile again;
  RegFileError again_error;
  if (!ParseRegFile(written, &again, &again_error)) {
    Fail(("the written file does not read back: line " + std::to_string(again_error.line) + ": " +
          again_error.message)
             .c_str(),
         written);
  }
  if (!(again == file)) Fail("the written file reads back different", written);
  if (WriteRegFile(again) != written) Fail("writing the file again gives another text", written);

  // A machine takes the keys of the roots it has; what it exports must
  // survive the same round trip.
  SimMachine machine;
  std::string import_error;
  ImportRegFile(file, &machine, &import_error);
  const RegFile exported = ExportRegFile(machine);
  const std::string exported_text = WriteRegFile(exported);
  RegFile exported_again;
  if (!ParseRegFile(exported_text, &exported_again, &again_error) ||
      !(exported_again == exported)) {
    Fail("a machine's export does not read back", exported_text);
  }
  return 0;
}
