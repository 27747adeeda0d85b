#ifndef NETREVIVE_TESTS_SIM_NETREVIVE_SIM_RUN_H_
#define NETREVIVE_TESTS_SIM_NETREVIVE_SIM_RUN_H_

// Runs the built netrevive-sim program as a user would, and small helpers for
// the folders its tests work in.

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test.h"

namespace netrevive::testing {

struct SimRun {
  int exit_status = -1;  // -1 when the program did not exit normally
  std::string out;       // standard output
  std::string err;       // standard error
};

// Runs netrevive-sim with the arguments, standard input from /dev/null and
// no controlling terminal (its own session), so that a run which would wait
// for a key on the terminal fails instead of hanging the test.
inline SimRun RunSim(const std::vector<std::string>& args) {
  namespace fs = std::filesystem;
  static int counter = 0;
  std::string base = fs::temp_directory_path().string() + "/netrevive_sim_run_" +
                     std::to_string(getpid()) + "_" + std::to_string(++counter);
  std::string out_path = base + ".out";
  std::string err_path = base + ".err";
  SimRun run;
  pid_t child = fork();
  if (child == 0) {
    setsid();
    int in = open("/dev/null", O_RDONLY);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> argv;
    std::string program = NETREVIVE_SIM_BINARY;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    run.exit_status = WEXITSTATUS(status);
  }
  run.out = ReadText(out_path);
  run.err = ReadText(err_path);
  fs::remove(out_path);
  fs::remove(err_path);
  return run;
}

// A fresh, empty folder for one test, removed when the object goes.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/netrevive_sim_XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    path_ = mkdtemp(buffer.data()) != nullptr ? buffer.data() : "";
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string Sub(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Every file below the folder with its contents, one "path: bytes" entry per
// file in name order, for checking that a folder was left as it was.
inline std::string FolderContents(const std::string& dir) {
  namespace fs = std::filesystem;
  std::vector<std::string> entries;
  std::error_code ec;
  if (!fs::exists(dir, ec)) return "(no folder)";
  for (fs::recursive_directory_iterator it(dir, ec), end; it != end; it.increment(ec)) {
    std::string rel = it->path().lexically_relative(dir).string();
    if (it->is_directory()) {
      entries.push_back(rel + "/");
    } else {
      entries.push_back(rel + ": " + ReadText(it->path().string()));
    }
  }
  std::sort(entries.begin(), entries.end());
  std::string out;
  for (const std::string& e : entries) out += e + "\n";
  return out;
}

}  // namespace netrevive::testing

#endif  // NETREVIVE_TESTS_SIM_NETREVIVE_SIM_RUN_H_
