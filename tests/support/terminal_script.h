// A program on a pseudo-terminal of its own, answered prompt by prompt as a user would.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zntest {

// Text to wait for on the terminal, then what to type.
struct TerminalStep {
    std::string waitFor;
    std::string type;
};

// Forks `child` onto a new pseudo-terminal (it must end with _exit or exec), answers its
// prompts from `script` in order, each looked for after the one answered before it, and
// returns the child's exit status (-1 when it did not exit). `screen` gets everything the
// terminal showed. A prompt that does not appear within 20 seconds fails the test and kills
// the child.
int RunOnTerminal(const std::function<void()>& child, const std::vector<TerminalStep>& script,
                  std::string& screen);

}  // namespace zntest
