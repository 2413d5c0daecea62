// Small POSIX socket and BER helpers shared by the sandbox probes and fault listeners.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zntest {
namespace detail {

// Owns one file descriptor; closes it on destruction.
class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& other) noexcept : fd_(other.Release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = other.Release();
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset();

  private:
    int fd_ = -1;
};

constexpr int kLdapPort = 389;

// Listening TCP socket on address:port; throws SandboxError on failure.
Fd ListenOn(const std::string& address, int port, int backlog);

// Starts a non-blocking connect; the returned socket may still be connecting.
// Throws SandboxError if the socket cannot even be created.
Fd StartConnect(const std::string& address, int port);

enum class WaitResult { kReady, kTimedOut, kError };

// Waits until a connect started by StartConnect completes.  kError leaves the
// socket error in *error.
WaitResult WaitConnected(int fd, std::chrono::milliseconds timeout, int* error);

// Waits until fd is readable (data, end of stream or error).
WaitResult WaitReadable(int fd, std::chrono::milliseconds timeout);

// Sends all of data; false if the peer is gone.
bool SendAll(int fd, const std::uint8_t* data, std::size_t size);

// Length of the first complete BER element at the start of buf (tag, length
// and contents), 0 while more bytes are needed.  LDAP frames every message
// as one such element.  Throws SandboxError on lengths no LDAP peer sends.
std::size_t BerElementLength(const std::vector<std::uint8_t>& buf);

}  // namespace detail
}  // namespace zntest
