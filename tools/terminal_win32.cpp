// Terminal services on Windows: the console with echo input turned off.
#include <windows.h>

#include <io.h>

#include <cstdio>

#include "tools/terminal.h"

namespace zntool {
namespace {

constexpr std::size_t kLongestSecret = 256;

}  // namespace

bool ReadSecretFromTerminal(const std::string& prompt, std::string& secret) {
    HANDLE input =
        CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE) {
        return false;
    }
    HANDLE output =
        CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD saved = 0;
    bool quiet = GetConsoleMode(input, &saved) != 0;
    if (quiet) {
        SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    }
    DWORD written = 0;
    if (output != INVALID_HANDLE_VALUE) {
        WriteConsoleA(output, prompt.data(), static_cast<DWORD>(prompt.size()), &written, nullptr);
    }
    secret.clear();
    char c = 0;
    DWORD got = 0;
    while (ReadFile(input, &c, 1, &got, nullptr) != 0 && got == 1 && c != '\n') {
        if (c != '\r' && secret.size() < kLongestSecret) secret += c;
    }
    if (quiet) {
        SetConsoleMode(input, saved);
    }
    if (output != INVALID_HANDLE_VALUE) {
        WriteConsoleA(output, "\r\n", 2, &written, nullptr);
        CloseHandle(output);
    }
    CloseHandle(input);
    return true;
}

bool StandardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

}  // namespace zntool
