// One benchmark's figures: printed as a table (medians and ratios against a peer
// measured in the same run) and written as JSON for tools that collect results.
#pragma once

#include <stdio.h>

#include <string>
#include <utility>
#include <vector>

enum class BenchTarget { kNone, kRatioAtMost, kRatioAtLeast, kValueAtMost };

struct BenchFigure {
  BenchFigure(std::string name_, std::string unit_, int decimals_, std::string peer_ = "",
              BenchTarget target_ = BenchTarget::kNone, double limit_ = 0)
      : name(std::move(name_)), unit(std::move(unit_)), decimals(decimals_), peer(std::move(peer_)),
        target(target_), limit(limit_) {}

  std::string name;              // what was measured, e.g. "verify time"
  std::string unit;              // e.g. "s CPU", "MB/s", "bytes", "MiB"
  int decimals = 2;              // for the table; JSON keeps full precision
  std::vector<double> ours;      // samples; the figure is their median
  std::string peer;              // the peer's command in short; empty: no peer
  std::vector<double> theirs;    // the peer's samples; empty with a peer: not available
  BenchTarget target = BenchTarget::kNone;
  double limit = 0;              // the target's bound
  std::string comment;           // one short remark for the table's last column
};

class BenchReport {
 public:
  explicit BenchReport(std::string bench) : bench_(std::move(bench)) {}

  void Add(const BenchFigure& figure) { figures_.push_back(figure); }
  // A line on method, printed under the table and kept in the JSON.
  void Note(const std::string& line) { notes_.push_back(line); }
  // The ratio of the figure of that name (the first), "-" when it has none; for a summary line.
  std::string RatioText(const std::string& name) const;
  // A fact about the inputs (sizes, counts, paths), kept in the JSON.
  void Input(const std::string& key, const std::string& value) { inputs_.emplace_back(key, Quote(value)); }
  void Input(const std::string& key, double value) { inputs_.emplace_back(key, Number(value)); }

  void Print(FILE* out) const;
  bool WriteJson(const std::string& path) const;
  // False when a figure with a target missed it or could not be measured.
  bool TargetsMet() const;

 private:
  static std::string Quote(const std::string& text);
  static std::string Number(double value);

  std::string bench_;
  std::vector<BenchFigure> figures_;
  std::vector<std::string> notes_;
  std::vector<std::pair<std::string, std::string>> inputs_;  // key, JSON value
};
