// Small operating-system services: pausing the calling thread, wiping secrets, the process.
#pragma once

#include <cstddef>

namespace zn::platform {

void Sleep(unsigned long milliseconds);

// Overwrites memory in a way the optimiser may not drop, for password copies.
void SecureZero(void* memory, std::size_t size);

// The calling process's number: what a child made by fork() inherited is not its own.
unsigned long ProcessId();

}  // namespace zn::platform
