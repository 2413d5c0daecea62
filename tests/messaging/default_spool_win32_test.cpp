// The messaging component's default spool on Windows: under %ProgramData%, made by the first
// send when missing, so that usage reports go somewhere on a machine nobody set up for them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "messaging/czipc_lite.h"
#include "messaging/spool.h"
#include "tests/support/scoped_spool.h"

namespace {

namespace fs = std::filesystem;

const char kAddress[] = "/BRANTOR/ZNI/IDM/ZNGROUPS/MSG";

// Points %ProgramData% at a folder of the test's own while it lives.
class ScopedProgramData {
  public:
    explicit ScopedProgramData(const std::string& folder) {
        if (const char* data = std::getenv("ProgramData")) m_saved = data;
        zntest::SetEnvironment("ProgramData", folder);
    }
    ~ScopedProgramData() { zntest::SetEnvironment("ProgramData", m_saved); }

  private:
    std::string m_saved;
};

TEST(DefaultSpool, IsMadeUnderProgramDataByTheFirstSend) {
    zntest::ScopedSpool scratch;
    ASSERT_FALSE(scratch.Root().empty());
    const std::string data = scratch.Root() + "\\ProgramData";
    ScopedProgramData scoped(data);
    zntest::UnsetEnvironment("ZNI_SPOOL");

    CZIPCLite sender;
    EXPECT_EQ(sender.GetSpoolRoot(), data + "\\ZNI\\spool");
    ASSERT_FALSE(fs::exists(data));
    sender.SendAsync(zni::CIPCMessage("", kAddress, "", "ZNGROUP_USAGE first"));
    sender.SendAsync(zni::CIPCMessage("", kAddress, "", "ZNGROUP_USAGE second"));

    std::vector<zni::spool::Entry> entries;
    std::string error;
    ASSERT_TRUE(zni::spool::List(data + "\\ZNI\\spool", kAddress, entries, error)) << error;
    ASSERT_EQ(entries.size(), 2u);
    std::string contents;
    ASSERT_TRUE(zni::spool::ReadMessage(entries[1].path, contents, error)) << error;
    EXPECT_EQ(contents, "ZNGROUP_USAGE second");
}

TEST(DefaultSpool, ARootNamedByTheVariableIsNeverMade) {
    zntest::ScopedSpool scratch;
    ASSERT_FALSE(scratch.Root().empty());
    // A mistyped setting must show, not fill a folder nobody reads.
    const std::string missing = scratch.Root() + "\\mistyped";
    zntest::SetEnvironment("ZNI_SPOOL", missing);
    CZIPCLite sender;
    EXPECT_EQ(sender.GetSpoolRoot(), missing);
    EXPECT_THROW(sender.SendAsync(zni::CIPCMessage("", kAddress, "", "ZNGROUP_USAGE")),
                 CZIPCError);
    EXPECT_FALSE(fs::exists(missing));
}

}  // namespace
