// A private message spool for one test, and running the spool reader on it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/scoped_spool.h"

namespace zntest {

// Runs a shell command; its standard output, and its wait status in `status`.
inline std::string RunCommand(const std::string& command, int& status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        status = -1;
        return output;
    }
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        output.append(buffer.data(), n);
    }
    status = pclose(pipe);
    return output;
}

// Creates a fresh spool folder and points ZNI_SPOOL at it for the test's lifetime.
class SpoolFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_spool = std::make_unique<ScopedSpool>();
        ASSERT_FALSE(m_spool->Root().empty());
        m_root = m_spool->Root();
    }
    void TearDown() override { m_spool.reset(); }

    const std::string& Root() const { return m_root; }

    // Every file below `folder` (relative to the root), dot files included, by name.
    std::vector<std::filesystem::path> FilesIn(const std::string& folder) const {
        std::vector<std::filesystem::path> files;
        std::error_code code;
        for (const auto& entry : std::filesystem::directory_iterator(m_root + folder, code)) {
            files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    static std::string Contents(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static std::string Run(const std::string& command, int& status) {
        return RunCommand(command, status);
    }

  private:
    std::unique_ptr<ScopedSpool> m_spool;
    std::string m_root;
};

}  // namespace zntest
