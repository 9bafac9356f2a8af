#include "setupkit/command_line.h"

namespace {

const OptionSpec* FindOption(const Command& command, const std::string& name) {
  for (const OptionSpec& spec : command.options) {
    if (name == spec.name) return &spec;
  }
  return nullptr;
}

// One "--name[=value]" at args[*i]; moves *i past a value that follows it.
Problem ParseOption(const Command& command, const std::vector<std::string>& args, size_t* i, Options* options) {
  const std::string& arg = args[*i];
  const size_t equals = arg.find('=');
  const std::string name = arg.substr(0, equals);
  const OptionSpec* spec = FindOption(command, name);
  if (spec == nullptr) return Failure("unknown option " + name);
  OptionValue& value = options->*spec->field;
  if (value.given) return Failure(name + " given twice");
  value.given = true;
  if (!spec->takesValue) return equals != std::string::npos ? Failure(name + " takes no value") : NoProblem();
  if (equals != std::string::npos) {
    value.text = arg.substr(equals + 1);
  } else if (*i + 1 < args.size()) {
    value.text = args[++*i];
  } else {
    return Failure(name + " needs a value");
  }
  return NoProblem();
}

}  // namespace

Problem ParseOptions(const Command& command, const std::vector<std::string>& args, Options* options) {
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!optionsEnded && (arg == "-h" || arg == "--help")) {
      options->help = true;
    } else if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      options->positional.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else {
      const Problem problem = ParseOption(command, args, &i, options);
      if (problem.code != kExitSuccess) return problem;
    }
  }
  if (options->help) return NoProblem();
  if (options->positional.size() < command.positionals) return Failure("missing arguments");
  if (options->positional.size() > command.positionals) {
    return Failure("unexpected argument " + options->positional[command.positionals]);
  }
  return NoProblem();
}

std::string UsageError(const std::string& command, const std::string& problem) {
  const std::string named = command.empty() ? std::string() : command + " ";
  return "setupkit" + (command.empty() ? std::string() : " " + command) + ": " + problem + " (see 'setupkit " + named +
         "--help')";
}

int Report(const Console& console, const Problem& problem) {
  if (problem.code != kExitSuccess) console.err << "setupkit: " << problem.text << "\n";
  return problem.code;
}

int ReportUsage(const Console& console, const std::string& command, const std::string& problem) {
  console.err << UsageError(command, problem) << "\n";
  return kExitFailure;
}

bool ParseByteSize(const std::string& text, uint64_t* bytes) {
  static const std::string kUnits = "kKmMgG";
  std::string digits = text;
  const size_t unit = digits.empty() ? std::string::npos : kUnits.find(digits.back());
  if (unit != std::string::npos) digits.pop_back();
  if (digits.empty() || digits.size() > 15 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  const uint64_t shift = unit == std::string::npos ? 0 : 10 * (unit / 2 + 1);
  const uint64_t value = std::stoull(digits);
  if (value > (uint64_t{1} << (50 - shift))) return false;
  *bytes = value << shift;
  return true;
}
