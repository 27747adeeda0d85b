#include "rehearsal/files.h"

#include <errno.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace netrevive::rehearsal {

namespace fs = std::filesystem;

bool ReplaceWith(const std::string& fresh, const std::string& target, std::string* why) {
  std::error_code ec;
  // A folder cannot be renamed over a non-empty one: the old one goes aside.
  if (fs::is_directory(target, ec)) {
    const std::string old = target + ".old";
    fs::remove_all(old, ec);
    fs::rename(target, old, ec);
    if (!ec) fs::rename(fresh, target, ec);
    if (ec) {
      *why = "cannot be replaced: " + ec.message();
      return false;
    }
    fs::remove_all(old, ec);
    return true;
  }
  fs::rename(fresh, target, ec);
  if (ec) {
    *why = "cannot be replaced: " + ec.message();
    return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* contents, std::string* why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *why = std::string("cannot be read: ") + strerror(errno);
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    *why = "cannot be read";
    return false;
  }
  *contents = text.str();
  return true;
}

bool WriteWholeFile(const std::string& path, const std::string& contents, std::string* file,
                    std::string* why) {
  const std::string fresh = path + ".new";
  std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
  if (!out) {
    *file = fresh;
    *why = std::string("cannot be written: ") + strerror(errno);
    return false;
  }
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  out.close();
  if (!out) {
    *file = fresh;
    *why = "cannot be written";
    return false;
  }
  *file = path;
  return ReplaceWith(fresh, path, why);
}

}  // namespace netrevive::rehearsal
