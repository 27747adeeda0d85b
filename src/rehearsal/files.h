#ifndef NETREVIVE_SIMULATOR_FILES_H_
#define NETREVIVE_SIMULATOR_FILES_H_

// Files netrevive-sim and the support kit read and write: whole, or not at
// all.

#include <string>

namespace netrevive::rehearsal {

// Writes contents to PATH.new, then renames that over PATH (a folder there
// is moved aside and removed), so that PATH holds either the old contents or
// the new, never a part. False with the file concerned and what went wrong
// ("cannot be written: ...", "cannot be replaced: ...").
bool WriteWholeFile(const std::string& path, const std::string& contents, std::string* file,
                    std::string* why);

// Reads the whole of PATH, bytes as they are. False with what went wrong
// ("cannot be read: ...", "cannot be read") and *contents untouched.
bool ReadWholeFile(const std::string& path, std::string* contents, std::string* why);

// Moves a finished file or folder over the old one; false with *why.
bool ReplaceWith(const std::string& fresh, const std::string& target, std::string* why);

}  // namespace netrevive::rehearsal

#endif  // NETREVIVE_SIMULATOR_FILES_H_
