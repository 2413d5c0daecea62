// Shared setup of the session tests that run against the sandboxed directory.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/ldap_client.h"
#include "session/directory_base.h"
#include "tests/support/sandbox_fixture.h"

namespace zntest {

// Every test starts with all servers answering, whatever the previous test left.
class DirectoryTest : public SandboxTest {
  protected:
    static std::string Describe(long code) { return zn::ldapapi::Err2String(code); }
    static std::string PersonDN(const std::string& uid) {
        return "uid=" + uid + ",ou=People," + zn::OrganizationBaseDN();
    }
};

// Seconds elapsed since construction.
class Stopwatch {
  public:
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }

  private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

}  // namespace zntest
