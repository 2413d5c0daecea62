// GoogleTest fixture for tests that talk to the sandboxed directory servers.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/sandbox.h"

namespace zntest {

// Fails the test (SandboxError escapes SetUp) when run outside
// directory/sandbox, and brings every server back before and after each test
// so that no fault outlives the test that set it.
class SandboxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RequireSandbox();
        RestoreAll();
        ready_ = true;
    }
    // Skipped when SetUp failed: the missing sandbox is reported once.
    void TearDown() override {
        if (ready_) RestoreAll();
    }

  private:
    bool ready_ = false;
};

}  // namespace zntest
