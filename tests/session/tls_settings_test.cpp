// The TLS settings: the file, the environment over it, the program's own values over both, and
// values that must stop a connection rather than let it go out in clear.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "session/tls_settings.h"

namespace {

constexpr const char* kVariables[] = {"ZNGROUPS_TLS", "ZNGROUPS_TLS_CA", "ZNGROUPS_TLS_VERIFY",
                                      "ZNGROUPS_ADMIN_TLS", "ZNGROUPS_CONFIG"};

class TlsSettings : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : kVariables) unsetenv(name);
        zn::ClearTlsOverrides();
        char pattern[] = "/tmp/zngroups-conf.XXXXXX";
        const int fd = mkstemp(pattern);
        ASSERT_GE(fd, 0);
        close(fd);
        m_file = pattern;
        setenv("ZNGROUPS_CONFIG", m_file.c_str(), 1);
    }
    void TearDown() override {
        for (const char* name : kVariables) unsetenv(name);
        zn::ClearTlsOverrides();
        std::remove(m_file.c_str());
    }
    void Write(const std::string& text) { std::ofstream(m_file) << text; }
    std::string m_file;
};

TEST_F(TlsSettings, TheFileTheEnvironmentAndTheProgramEachWinOverThePrevious) {
    Write(
        "# directory\n  TLS = LDAPS  # the whole way\n\ntls-ca = /etc/ssl/company ca.pem \n"
        "tls-verify = no\nadmin-tls = on\nsome-future-key = 7\n");
    zn::TlsSettings settings = zn::LoadTlsSettings();
    EXPECT_EQ(settings.error, "");
    EXPECT_EQ(settings.file, m_file);
    EXPECT_EQ(settings.directory, zn::DirectoryTls::kLdaps);
    EXPECT_EQ(settings.caFile, "/etc/ssl/company ca.pem");
    EXPECT_FALSE(settings.verify);
    EXPECT_TRUE(settings.adminTls);

    setenv("ZNGROUPS_TLS", "starttls", 1);
    setenv("ZNGROUPS_TLS_CA", "/env/ca.pem", 1);
    setenv("ZNGROUPS_TLS_VERIFY", "yes", 1);
    setenv("ZNGROUPS_ADMIN_TLS", "off", 1);
    settings = zn::LoadTlsSettings();
    EXPECT_EQ(settings.directory, zn::DirectoryTls::kStartTls);
    EXPECT_EQ(settings.caFile, "/env/ca.pem");
    EXPECT_TRUE(settings.verify);
    EXPECT_FALSE(settings.adminTls);

    std::string error;
    ASSERT_TRUE(zn::SetTlsOverride("tls", "off", error)) << error;
    ASSERT_TRUE(zn::SetTlsOverride("TLS-CA", "/program/ca.pem", error)) << error;
    ASSERT_TRUE(zn::SetTlsOverride("admin-tls", "on", error)) << error;
    settings = zn::LoadTlsSettings();
    EXPECT_EQ(settings.directory, zn::DirectoryTls::kOff);
    EXPECT_EQ(settings.caFile, "/program/ca.pem");
    EXPECT_TRUE(settings.adminTls);
    // Removing the program's value gives the environment back.
    ASSERT_TRUE(zn::SetTlsOverride("tls", nullptr, error));
    EXPECT_EQ(zn::LoadTlsSettings().directory, zn::DirectoryTls::kStartTls);
}

TEST_F(TlsSettings, ValuesThatCannotBeUnderstoodAreErrorsNamingWhere) {
    Write("tls = starttls\ntls starttls\n");
    EXPECT_EQ(zn::LoadTlsSettings().error,
              m_file + ":2: \"tls starttls\" is not a \"key = value\" line");
    Write("tls = tls\n");
    EXPECT_EQ(zn::LoadTlsSettings().error,
              m_file + ":1: tls = \"tls\" is not off, starttls or ldaps");
    Write("");
    setenv("ZNGROUPS_TLS_VERIFY", "perhaps", 1);
    EXPECT_EQ(zn::LoadTlsSettings().error,
              "ZNGROUPS_TLS_VERIFY: tls-verify = \"perhaps\" is not on or off");
    unsetenv("ZNGROUPS_TLS_VERIFY");
    // A file named explicitly must exist; the default one need not.
    setenv("ZNGROUPS_CONFIG", "/nonexistent/zngroups.conf", 1);
    EXPECT_EQ(zn::LoadTlsSettings().error,
              "the configuration file /nonexistent/zngroups.conf cannot be read");

    // The program's values are checked when set, and a refused one changes nothing.
    unsetenv("ZNGROUPS_CONFIG");
    std::string error;
    ASSERT_TRUE(zn::SetTlsOverride("tls", "ldaps", error));
    EXPECT_FALSE(zn::SetTlsOverride("tls", "yes please", error));
    EXPECT_EQ(error, "the program's setting: tls = \"yes please\" is not off, starttls or ldaps");
    EXPECT_FALSE(zn::SetTlsOverride("tls-cipher", "any", error));
    EXPECT_EQ(error, "unknown setting \"tls-cipher\" (known: tls, tls-ca, tls-verify, admin-tls)");
    EXPECT_FALSE(zn::SetTlsOverride(nullptr, "on", error));
    EXPECT_EQ(zn::LoadTlsSettings().directory, zn::DirectoryTls::kLdaps);
}

TEST_F(TlsSettings, OverridesMayChangeWhileOtherThreadsConnect) {
    std::vector<std::thread> readers;
    std::atomic<bool> done{false};
    std::atomic<int> odd{0};
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!done) {
                const zn::TlsSettings settings = zn::LoadTlsSettings();
                // Each override is applied whole: a CA path is one of the two written.
                if (!settings.caFile.empty() && settings.caFile != "/a/ca.pem" &&
                    settings.caFile != "/b/much/longer/path/to/a/ca.pem") {
                    ++odd;
                }
            }
        });
    }
    std::string error;
    for (int i = 0; i < 2000; ++i) {
        zn::SetTlsOverride("tls-ca", i % 2 ? "/a/ca.pem" : "/b/much/longer/path/to/a/ca.pem",
                           error);
        if (i % 7 == 0) zn::SetTlsOverride("tls-ca", nullptr, error);
    }
    done = true;
    for (std::thread& reader : readers) reader.join();
    EXPECT_EQ(odd, 0);
}

}  // namespace
