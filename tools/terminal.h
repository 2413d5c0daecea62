// The terminal services of the tool: asking for a secret without echo, and telling whether
// standard error is a terminal (progress is drawn only there).
#pragma once

#include <string>

namespace zntool {

// Shows `prompt` on the controlling terminal and reads one line with echo off. False when
// the process has no terminal to ask on.
bool ReadSecretFromTerminal(const std::string& prompt, std::string& secret);

bool StandardErrorIsTerminal();

}  // namespace zntool
