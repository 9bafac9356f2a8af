#include "report.h"

#include <math.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "measure.h"

namespace {

struct Verdict {
  double ours = NAN;
  double theirs = NAN;
  double ratio = NAN;
  std::string target;  // e.g. "ratio <= 1.05"
  std::string result;  // "ok", "MISSED", "n/a" or empty without a target
};

std::string Fixed(double value, int decimals) {
  if (isnan(value)) return "-";
  char text[64];
  snprintf(text, sizeof(text), "%.*f", decimals, value);
  return text;
}

Verdict Judge(const BenchFigure& f) {
  Verdict v;
  if (!f.ours.empty()) v.ours = Median(f.ours);
  if (!f.theirs.empty()) v.theirs = Median(f.theirs);
  if (!isnan(v.ours) && !isnan(v.theirs) && v.theirs != 0) v.ratio = v.ours / v.theirs;
  double judged = NAN;
  if (f.target == BenchTarget::kRatioAtMost) {
    v.target = "ratio <= " + Fixed(f.limit, 2);
    judged = v.ratio;
  } else if (f.target == BenchTarget::kRatioAtLeast) {
    v.target = "ratio >= " + Fixed(f.limit, 2);
    judged = v.ratio;
  } else if (f.target == BenchTarget::kValueAtMost) {
    v.target = "<= " + Fixed(f.limit, f.decimals) + " " + f.unit;
    judged = v.ours;
  }
  const bool met = f.target == BenchTarget::kRatioAtLeast ? judged >= f.limit : judged <= f.limit;
  if (f.target != BenchTarget::kNone) v.result = isnan(judged) ? "n/a" : met ? "ok" : "MISSED";
  return v;
}

}  // namespace

std::string BenchReport::RatioText(const std::string& name) const {
  for (const BenchFigure& f : figures_) {
    if (f.name == name) return Fixed(Judge(f).ratio, 3);
  }
  return "-";
}

std::string BenchReport::Quote(const std::string& text) {
  std::string quoted = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      snprintf(escape, sizeof(escape), "\\u%04x", c);
      quoted += escape;
    } else {
      quoted += static_cast<char>(c);
    }
  }
  return quoted + "\"";
}

std::string BenchReport::Number(double value) {
  if (isnan(value) || isinf(value)) return "null";
  char text[64];
  if (value == floor(value) && fabs(value) < 1e15) {
    snprintf(text, sizeof(text), "%.0f", value);
  } else {
    snprintf(text, sizeof(text), "%.6g", value);
  }
  return text;
}

void BenchReport::Print(FILE* out) const {
  std::vector<std::vector<std::string>> rows;
  rows.push_back({bench_, "unit", "runs", "ours", "peer", "peer value", "ratio", "target", "", ""});
  for (const BenchFigure& f : figures_) {
    Verdict v = Judge(f);
    std::string peer = f.peer.empty() ? "" : f.theirs.empty() ? f.peer + " (not available)" : f.peer;
    rows.push_back({f.name, f.unit, std::to_string(f.ours.size()), Fixed(v.ours, f.decimals), peer,
                    f.theirs.empty() ? "" : Fixed(v.theirs, f.decimals), Fixed(v.ratio, 3), v.target, v.result,
                    f.comment});
  }
  std::vector<size_t> widths(rows[0].size(), 0);
  for (const auto& row : rows)
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  // Numbers right-aligned, words left-aligned.
  const bool right[] = {false, false, true, true, false, true, true, false, false, false};
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      if (widths[i] == 0) continue;
      std::string cell = row[i];
      std::string pad(widths[i] - cell.size(), ' ');
      line += right[i] ? pad + cell : cell + pad;
      line += "  ";
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    fprintf(out, "%s\n", line.c_str());
  }
  for (const std::string& note : notes_) fprintf(out, "  %s\n", note.c_str());
  fflush(out);
}

bool BenchReport::WriteJson(const std::string& path) const {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  std::ofstream json(path, std::ios::trunc);
  auto samples = [](const std::vector<double>& values) {
    std::string list = "[";
    for (size_t i = 0; i < values.size(); ++i) list += (i ? ", " : "") + Number(values[i]);
    return list + "]";
  };
  json << "{\n  \"bench\": " << Quote(bench_) << ",\n  \"inputs\": {";
  for (size_t i = 0; i < inputs_.size(); ++i)
    json << (i ? ", " : "") << "\n    " << Quote(inputs_[i].first) << ": " << inputs_[i].second;
  json << "\n  },\n  \"figures\": [";
  for (size_t i = 0; i < figures_.size(); ++i) {
    const BenchFigure& f = figures_[i];
    Verdict v = Judge(f);
    json << (i ? "," : "") << "\n    {\"name\": " << Quote(f.name) << ", \"unit\": " << Quote(f.unit)
         << ", \"median\": " << Number(v.ours) << ", \"samples\": " << samples(f.ours);
    if (!f.peer.empty()) {
      json << ", \"peer\": " << Quote(f.peer) << ", \"peer_median\": " << Number(v.theirs)
           << ", \"peer_samples\": " << samples(f.theirs) << ", \"ratio\": " << Number(v.ratio);
    }
    if (f.target != BenchTarget::kNone) {
      json << ", \"target\": " << Quote(v.target) << ", \"met\": "
           << (v.result == "ok" ? "true" : v.result == "MISSED" ? "false" : "null");
    }
    if (!f.comment.empty()) json << ", \"comment\": " << Quote(f.comment);
    json << "}";
  }
  json << "\n  ],\n  \"notes\": [";
  for (size_t i = 0; i < notes_.size(); ++i) json << (i ? "," : "") << "\n    " << Quote(notes_[i]);
  json << "\n  ]\n}\n";
  return static_cast<bool>(json);
}

bool BenchReport::TargetsMet() const {
  for (const BenchFigure& f : figures_)
    if (f.target != BenchTarget::kNone && Judge(f).result != "ok") return false;
  return true;
}
