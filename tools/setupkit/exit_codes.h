// The exit codes of setupkit and the one shape in which its operations report
// trouble. Every unit of the tool sits above this header.
#pragma once

#include <string>

const int kExitSuccess = 0;
const int kExitBrokenPayload = 1;  // a negative archive pass result; extract: an entry refused
const int kExitFailure = 2;        // usage, unreadable input, unwritable output, system error

// What an operation returns: code kExitSuccess and no text, or the exit code
// it leads to and one line "path: problem" (without the program's name).
struct Problem {
  int code;
  std::string text;
};

inline Problem NoProblem() { return Problem{kExitSuccess, std::string()}; }
inline Problem Failure(const std::string& text) { return Problem{kExitFailure, text}; }
inline Problem Broken(const std::string& text) { return Problem{kExitBrokenPayload, text}; }
