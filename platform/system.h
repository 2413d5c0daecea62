// Small operating-system services: pausing the calling thread and wiping secrets.
#pragma once

#include <cstddef>

namespace zn::platform {

void Sleep(unsigned long milliseconds);

// Overwrites memory in a way the optimiser may not drop, for password copies.
void SecureZero(void* memory, std::size_t size);

}  // namespace zn::platform
