// The messaging component's spool: what SendAsync leaves, what it refuses, what the reader shows.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "messaging/czipc_lite.h"
#include "tests/support/spool_folder.h"

namespace {

const std::string kAddress = "/BRANTOR/ZNI/IDM/ZNGROUPS/MSG";

class MessageSpool : public zntest::SpoolFolderTest {
  protected:
    static void Send(const std::string& destination, const std::string& text) {
        CZIPCLite sender;
        sender.SendAsync(zni::CIPCMessage("", destination, "", text));
    }

    // The text of the CZIPCError that sending throws, "" when it does not throw.
    static std::string Refusal(const std::string& destination, const std::string& text,
                               const std::string& source = "") {
        try {
            CZIPCLite sender;
            sender.SendAsync(zni::CIPCMessage(source, destination, "", text));
        } catch (const zni::CZNException& error) {
            EXPECT_NE(dynamic_cast<const CZIPCError*>(&error), nullptr);
            EXPECT_EQ(error.ReportErrorMessage(), static_cast<const std::exception&>(error).what());
            return error.ReportErrorMessage();
        }
        return "";
    }
};

TEST_F(MessageSpool, EachMessageIsOneCompleteFileInTheAddressFolder) {
    ASSERT_EQ(chmod(Root().c_str(), 02770), 0);
    CZIPCLite sender;
    EXPECT_EQ(sender.GetSpoolRoot(), Root());
    const std::string binary("first\0line\n\"quoted\"", 19);
    sender.SendAsync(zni::CIPCMessage("", kAddress, "", binary));
    sender.SendAsync(zni::CIPCMessage("", kAddress, "", ""));
    sender.SendAsync(zni::CIPCMessage("", kAddress, "", std::string(65536, 'x')));

    const auto files = FilesIn(kAddress);
    ASSERT_EQ(files.size(), 3u);
    struct stat folder {};
    ASSERT_EQ(stat((Root() + kAddress).c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 07777, 02770u);
    EXPECT_EQ(Contents(files[0]), binary);
    EXPECT_EQ(Contents(files[1]), "");
    EXPECT_EQ(Contents(files[2]), std::string(65536, 'x'));
    for (const auto& file : files) {
        EXPECT_EQ(file.extension(), ".msg");
        EXPECT_NE(file.filename().string()[0], '.');
    }
}

TEST_F(MessageSpool, ConcurrentSendersNeverShareAFileName) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i) Send(kAddress, std::to_string(t * 100 + i));
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(FilesIn(kAddress).size(), 200u);
}

TEST_F(MessageSpool, RefusesWhatItCannotHandOff) {
    EXPECT_EQ(Refusal(kAddress, std::string(65537, 'x')),
              "message of 65537 bytes is larger than the spool's limit of 65536 bytes");
    for (const char* address : {"", "BRANTOR/ZNI", "/BRANTOR//ZNI", "/BRANTOR/../etc",
                                "/BRANTOR/.hidden", "/BRANTOR/ZNI/", "/A B"}) {
        EXPECT_EQ(Refusal(address, "text"),
                  "invalid destination address \"" + std::string(address) +
                      "\": expected /NAME/NAME... of letters, digits, '.', '_' and '-'");
    }
    EXPECT_EQ(Refusal(kAddress, "text", "/SENDER"),
              "the message spool carries no source or reply address");
    EXPECT_TRUE(FilesIn("").empty());

    // A folder of the address is taken by a file.
    std::ofstream(Root() + "/BRANTOR").put('x');
    EXPECT_EQ(Refusal(kAddress, "text"),
              "cannot create spool folder " + Root() + "/BRANTOR: Not a directory");

    const std::string file = Root() + "/BRANTOR";
    setenv("ZNI_SPOOL", file.c_str(), 1);
    EXPECT_EQ(Refusal(kAddress, "text"), "message spool " + file + " is not a folder");
    setenv("ZNI_SPOOL", (Root() + "/none").c_str(), 1);
    EXPECT_EQ(Refusal(kAddress, "text"),
              "message spool " + Root() +
                  "/none is not available: No such file or directory (set ZNI_SPOOL to the "
                  "spool folder)");
    unsetenv("ZNI_SPOOL");
    EXPECT_EQ(CZIPCLite().GetSpoolRoot(), "/var/spool/zni");
}

TEST_F(MessageSpool, ReaderListsShowsAndDrains) {
    Send(kAddress, "ZNGROUP_USAGE one");
    Send("/BRANTOR/ZNI/OTHER", "other");
    Send(kAddress, "ZNGROUP_USAGE two");
    // A message still being written is not shown.
    std::ofstream(Root() + kAddress + "/.partial.msg.tmp") << "half";
    const auto files = FilesIn(kAddress);
    ASSERT_EQ(files.size(), 3u);
    const std::string first = files[1].filename().string();
    const std::string second = files[2].filename().string();

    const std::string tool = std::string(ZNI_SPOOL_TOOL) + " --root " + Root();
    int status = -1;
    const std::string listed = Run(tool + " list", status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(listed.find(kAddress + " " + first + " 17\n"), std::string::npos) << listed;
    EXPECT_NE(listed.find("/BRANTOR/ZNI/OTHER "), std::string::npos) << listed;
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 3);

    EXPECT_EQ(Run(tool + " show " + kAddress, status), "== " + kAddress + "/" + first +
                                                           "\nZNGROUP_USAGE one\n== " + kAddress +
                                                           "/" + second + "\nZNGROUP_USAGE two\n");
    EXPECT_EQ(Run(tool + " drain " + kAddress, status), "== " + kAddress + "/" + first +
                                                            "\nZNGROUP_USAGE one\n== " + kAddress +
                                                            "/" + second + "\nZNGROUP_USAGE two\n");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Run(tool + " drain " + kAddress, status), "");
    EXPECT_EQ(FilesIn(kAddress).size(), 1u);  // the partial one
    const std::size_t other = listed.find("/BRANTOR/ZNI/OTHER ");
    EXPECT_EQ(Run(tool + " list", status),
              listed.substr(other, listed.find('\n', other) + 1 - other));

    Run(std::string(ZNI_SPOOL_TOOL) + " --root " + Root() + "/none list 2>/dev/null", status);
    EXPECT_NE(status, 0);
}

}  // namespace
