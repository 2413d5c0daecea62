// File versions read from ELF version notes.
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file_version.h"
#include "zngroups_config.h"

namespace {

using zn::platform::ReadFileVersion;
using zn::platform::VersionLookup;

struct Note {
    std::string owner;
    std::uint32_t type;
    std::string descriptor;
    std::uint32_t claimedSize = 0;  // descriptor size written into the note, when not 0
};

// A minimal ELF file of either class and byte order whose notes are found through one program
// header or, for object files, through one section header.
class ElfImage {
  public:
    ElfImage(bool is64, bool bigEndian) : m_is64(is64), m_bigEndian(bigEndian), m_bytes(0x100) {
        const unsigned char ident[] = {0x7f,
                                       'E',
                                       'L',
                                       'F',
                                       static_cast<unsigned char>(is64 ? 2 : 1),
                                       static_cast<unsigned char>(bigEndian ? 2 : 1),
                                       1};
        std::copy(std::begin(ident), std::end(ident), m_bytes.begin());
        Put(16, 2, 3);
        Put(20, 4, 1);
    }

    void Add(const Note& note) {
        const std::size_t at = m_bytes.size();
        m_bytes.resize(at + 12);
        Put(at, 4, note.owner.size() + 1);
        Put(at + 4, 4, note.claimedSize != 0 ? note.claimedSize : note.descriptor.size());
        Put(at + 8, 4, note.type);
        Append(note.owner + '\0');
        Append(note.descriptor);
    }

    std::string Write(bool throughSections) {
        const std::uint64_t size = m_bytes.size() - 0x100;
        if (throughSections) {
            Put(m_is64 ? 0x28 : 0x20, m_is64 ? 8 : 4, 0x80);
            Put(m_is64 ? 0x3A : 0x2E, 2, m_is64 ? 64 : 40);
            Put(m_is64 ? 0x3C : 0x30, 2, 1);
            Put(0x80 + 4, 4, 7);
            Put(0x80 + (m_is64 ? 0x18 : 0x10), m_is64 ? 8 : 4, 0x100);
            Put(0x80 + (m_is64 ? 0x20 : 0x14), m_is64 ? 8 : 4, size);
            Put(0x80 + (m_is64 ? 0x30 : 0x20), m_is64 ? 8 : 4, 4);
        } else {
            Put(m_is64 ? 0x20 : 0x1C, m_is64 ? 8 : 4, 0x80);
            Put(m_is64 ? 0x36 : 0x2A, 2, m_is64 ? 56 : 32);
            Put(m_is64 ? 0x38 : 0x2C, 2, 1);
            Put(0x80, 4, 4);
            Put(0x80 + (m_is64 ? 0x08 : 0x04), m_is64 ? 8 : 4, 0x100);
            Put(0x80 + (m_is64 ? 0x20 : 0x10), m_is64 ? 8 : 4, size);
            Put(0x80 + (m_is64 ? 0x30 : 0x1C), m_is64 ? 8 : 4, 4);
        }
        char path[] = "/tmp/zng-elf-XXXXXX";
        const int fd = mkstemp(path);
        EXPECT_GE(fd, 0);
        close(fd);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(m_bytes.data()),
                   static_cast<std::streamsize>(m_bytes.size()));
        m_paths.push_back(path);
        return path;
    }

    ~ElfImage() {
        for (const std::string& path : m_paths) std::remove(path.c_str());
    }

  private:
    void Put(std::size_t offset, std::size_t size, std::uint64_t value) {
        if (m_bytes.size() < offset + size) m_bytes.resize(offset + size);
        for (std::size_t i = 0; i < size; ++i) {
            const std::size_t index = m_bigEndian ? offset + size - 1 - i : offset + i;
            m_bytes[index] = static_cast<unsigned char>(value >> (8 * i));
        }
    }
    void Append(const std::string& bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        m_bytes.resize((m_bytes.size() + 3) / 4 * 4);
    }

    bool m_is64;
    bool m_bigEndian;
    std::vector<unsigned char> m_bytes;
    std::vector<std::string> m_paths;
};

const std::string kEntries("ProductName=orders\0FileVersion=7.1.0.4\0", 39);

TEST(FileVersion, ReadsTheVersionNoteOfEitherClassAndByteOrder) {
    for (bool is64 : {false, true}) {
        for (bool bigEndian : {false, true}) {
            for (bool throughSections : {false, true}) {
                SCOPED_TRACE(std::to_string(is64) + std::to_string(bigEndian) +
                             std::to_string(throughSections));
                ElfImage image(is64, bigEndian);
                image.Add({"GNU", 3, std::string(20, '\x5a')});
                image.Add({"ZNGroups", 2, "FileVersion=wrong type"});
                image.Add({"ZNGroups", 1, kEntries});
                std::string version;
                EXPECT_EQ(ReadFileVersion(image.Write(throughSections), version),
                          VersionLookup::kFound);
                EXPECT_EQ(version, "7.1.0.4");
            }
        }
    }
}

TEST(FileVersion, TellsMissingNoteFromNoteWithoutFileVersion) {
    ElfImage image(true, false);
    std::string version = "unchanged";
    image.Add({"GNU", 3, "build-id"});
    EXPECT_EQ(ReadFileVersion(image.Write(false), version), VersionLookup::kNoVersionInformation);

    image.Add({"ZNGroups", 1, std::string("ProductName=orders\0", 19)});
    EXPECT_EQ(ReadFileVersion(image.Write(false), version), VersionLookup::kNoFileVersionEntry);
    EXPECT_EQ(version, "unchanged");

    EXPECT_EQ(ReadFileVersion("/nonexistent/file", version), VersionLookup::kNoVersionInformation);
    EXPECT_EQ(ReadFileVersion(__FILE__, version), VersionLookup::kNoVersionInformation);
}

TEST(FileVersion, RefusesOversizedAndTruncatedNotes) {
    ElfImage large(true, false);
    large.Add({"ZNGroups", 1, "FileVersion=1.0" + std::string(70000, '\0')});
    std::string version;
    EXPECT_EQ(ReadFileVersion(large.Write(false), version), VersionLookup::kNoBuffer);

    ElfImage truncated(false, true);
    truncated.Add({"ZNGroups", 1, kEntries, 4096});
    EXPECT_EQ(ReadFileVersion(truncated.Write(false), version),
              VersionLookup::kNoVersionInformation);
}

TEST(FileVersion, TheLibraryCarriesTheProjectVersion) {
    std::string version;
    EXPECT_EQ(ReadFileVersion(ZNGROUPS_LIBRARY_FILE, version), VersionLookup::kFound);
    EXPECT_EQ(version, ZNGROUPS_VERSION);
    // Programs linked from the objects carry no note of their own.
    EXPECT_EQ(ReadFileVersion("/proc/self/exe", version), VersionLookup::kNoVersionInformation);
}

}  // namespace
