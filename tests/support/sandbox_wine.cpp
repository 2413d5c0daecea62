// The sandbox controls for test programs running under Wine: they read the run directory
// through Wine's drive for "/", and leave server faults to wine_control.sh on the Linux side.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/sandbox.h"

namespace zntest {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string RequiredEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        throw SandboxError(std::string(name) +
                           " is not set: run the tests inside directory/sandbox, e.g. "
                           "`directory/sandbox -- ctest`");
    }
    return value;
}

std::string ServerDir(const std::string& host) {
    std::string dir = SandboxDir() + "/servers/" + host;
    std::error_code ignored;
    if (host.empty() || host.find_first_of("/\\") != std::string::npos ||
        !fs::is_directory(dir, ignored)) {
        throw SandboxError("no sandbox server named '" + host + "'");
    }
    return dir;
}

std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) throw SandboxError("cannot read " + path);
    return line;
}

// Runs wine_control.sh for the hosts and waits for the status it leaves, since `start /unix`
// returns as soon as the Linux process is started.
void Control(const char* action, const std::vector<std::string>& hosts) {
    static unsigned long sequence = 0;
    const std::string done = SandboxDir() + "/wine-control-" +
                             std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++sequence);
    std::string command = "start /unix /bin/sh " ZNG_WINE_CONTROL " " + done + " " +
                          SandboxDir() + " " + action;
    for (const std::string& host : hosts) command += " " + host;
    // Under load, start now and then answers "File not found." for a program that is there;
    // nothing was started then, so asking again is safe.
    int attempts = 0;
    while (std::system(command.c_str()) != 0) {
        if (++attempts == 3) throw SandboxError("cannot run " + command);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    std::string status;
    for (;;) {
        std::ifstream in(done);
        if (in && std::getline(in, status)) break;
        if (Clock::now() > deadline) throw SandboxError(command + " did not finish");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::remove(done.c_str());
    if (status != "0") {
        throw SandboxError(command + " failed; its complaint is in the test's standard error");
    }
}

std::string LinuxOnly(const char* what) {
    return std::string(what) +
           " runs listeners in the test process with POSIX sockets; the test is Linux-only";
}

}  // namespace

void RequireSandbox() {
    std::string dir = RequiredEnv("ZNG_SANDBOX");
    std::error_code ignored;
    if (!fs::is_directory(dir + "/servers", ignored)) {
        throw SandboxError("ZNG_SANDBOX=" + dir + " is not a sandbox run directory");
    }
}

std::string SandboxDir() {
    RequireSandbox();
    return RequiredEnv("ZNG_SANDBOX");
}

std::string BaseDN() {
    RequireSandbox();
    return RequiredEnv("ZNG_BASE_DN");
}

std::vector<std::string> ServerHosts() {
    std::vector<std::string> hosts;
    std::error_code code;
    for (const auto& entry : fs::directory_iterator(SandboxDir() + "/servers", code)) {
        if (entry.is_directory(code)) hosts.push_back(entry.path().filename().string());
    }
    if (code) throw SandboxError("cannot list the sandbox's servers: " + code.message());
    std::sort(hosts.begin(), hosts.end());
    return hosts;
}

std::string ServerAddress(const std::string& host) {
    return FirstLine(ServerDir(host) + "/address");
}

void StopServer(const std::string& host) {
    Control("stop", {host});
}

void StartServer(const std::string& host) {
    Control("start", {host});
}

void SilenceServer(const std::string& host) {
    Control("silence", {host});
}

void ResumeServer(const std::string& host) {
    Control("resume", {host});
}

void MakeUnresponsive(const std::string&) {
    throw SandboxError(LinuxOnly("MakeUnresponsive"));
}

void StallAfterBind(const std::string&, const std::string&) {
    throw SandboxError(LinuxOnly("StallAfterBind"));
}

void RestoreServer(const std::string& host, Milliseconds) {
    Control("restore", {host});
}

// One run of the control script for every host: each Wine process start costs time.
void RestoreAll(Milliseconds) {
    Control("restore", ServerHosts());
}

}  // namespace zntest
