// POSIX back end of the small system services.
#include "platform/system.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace zn::platform {

void Sleep(unsigned long milliseconds) {
    timespec pause{};
    pause.tv_sec = static_cast<time_t>(milliseconds / 1000);
    pause.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&pause, &pause) == -1 && errno == EINTR) {
    }
}

void SecureZero(void* memory, std::size_t size) {
    explicit_bzero(memory, size);
}

unsigned long ProcessId() {
    return static_cast<unsigned long>(getpid());
}

}  // namespace zn::platform
