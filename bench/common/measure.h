// Timing and memory of benchmark runs. Child programs are timed by the CPU seconds
// (user + system) wait4 reports for them, which stay steady on a machine busy with
// other work where wall time does not; wall time is kept beside it for reference.
#pragma once

#include <string>
#include <vector>

struct ChildIo {
  std::string input = "/dev/null";   // stdin
  std::string output = "/dev/null";  // stdout, truncated
  std::string errors;                // stderr, truncated; empty: the bench's own
  std::string directory;             // working folder; empty: the bench's
  // Changes to the child's environment only: "NAME=value" sets, a bare "NAME" removes.
  std::vector<std::string> environment;
};

struct ChildRun {
  int exitCode = -1;  // -1: killed by a signal or could not be waited for; 127: could not start
  double cpuSeconds = 0;  // user + system
  double userSeconds = 0;
  double systemSeconds = 0;
  double wallSeconds = 0;
  // ru_maxrss of the child. Linux carries the parent's resident size at fork into the
  // child's peak, so this is exact only while the bench itself stays smaller than the
  // child: see BenchResidentKib.
  long peakKib = 0;
};

ChildRun RunChild(const std::vector<std::string>& args, const ChildIo& io = ChildIo());

// The calling process's VmHWM (peak) or VmRSS from /proc/self/status in KiB, or -1.
long BenchPeakKib();
long BenchResidentKib();

double ThreadCpuSeconds();
double MonotonicSeconds();

// The middle value (the upper one of the two for an even count); 0 for none.
double Median(std::vector<double> values);

// The path of a program found on PATH, or empty.
std::string FindProgram(const std::string& name);
