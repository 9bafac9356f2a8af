#include "measure.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

long StatusKib(const char* wanted) {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = -1;
  while (status >> key) {
    if (key == wanted && status >> value) return value;
    status.ignore(1 << 10, '\n');
  }
  return -1;
}

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

}  // namespace

ChildRun RunChild(const std::vector<std::string>& args, const ChildIo& io) {
  ChildRun run;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  double start = MonotonicSeconds();
  pid_t pid = fork();
  if (pid < 0) return run;
  if (pid == 0) {
    for (const std::string& e : io.environment) {
      size_t equals = e.find('=');
      if (equals == std::string::npos) {
        unsetenv(e.c_str());
      } else {
        setenv(e.substr(0, equals).c_str(), e.c_str() + equals + 1, 1);
      }
    }
    int in = open(io.input.c_str(), O_RDONLY);
    int out = open(io.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || (!io.directory.empty() && chdir(io.directory.c_str()) != 0)) _exit(127);
    if (!io.errors.empty()) {
      int err = open(io.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (err < 0) _exit(127);
      dup2(err, 2);
    }
    dup2(in, 0);
    dup2(out, 1);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage;
  if (wait4(pid, &status, 0, &usage) != pid) return run;
  run.wallSeconds = MonotonicSeconds() - start;
  run.userSeconds = Seconds(usage.ru_utime);
  run.systemSeconds = Seconds(usage.ru_stime);
  run.cpuSeconds = run.userSeconds + run.systemSeconds;
  run.peakKib = usage.ru_maxrss;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

long BenchPeakKib() { return StatusKib("VmHWM:"); }
long BenchResidentKib() { return StatusKib("VmRSS:"); }

double ThreadCpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double MonotonicSeconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string FindProgram(const std::string& name) {
  const char* path = getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::string();
}
