// POSIX back end of the file-version lookup: reads the version note of an ELF file.
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file_version.h"
#include "platform/posix/elf_version_note.h"

namespace zn::platform {
namespace {

constexpr std::uint32_t kProgramNote = 4;  // PT_NOTE
constexpr std::uint32_t kSectionNote = 7;  // SHT_NOTE
constexpr std::uint64_t kMaxHeaders = 4096;
constexpr std::uint64_t kMaxOffset = std::uint64_t{1} << 40;

struct NoteRange {
    std::uint64_t offset;
    std::uint64_t size;
    std::uint64_t alignment;
};

// Reads fields of either class and byte order from an ELF file.
class ElfFile {
  public:
    explicit ElfFile(const std::string& path) : m_in(path, std::ios::binary) {}

    bool ReadIdentity() {
        unsigned char ident[16];
        if (!ReadAt(0, ident, sizeof ident) || std::memcmp(ident,
                                                           "\x7f"
                                                           "ELF",
                                                           4) != 0) {
            return false;
        }
        if ((ident[4] != 1 && ident[4] != 2) || (ident[5] != 1 && ident[5] != 2)) return false;
        m_is64 = ident[4] == 2;
        m_bigEndian = ident[5] == 2;
        return true;
    }

    bool Is64() const { return m_is64; }

    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
        m_in.clear();
        m_in.seekg(static_cast<std::streamoff>(offset));
        m_in.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
        return static_cast<std::size_t>(m_in.gcount()) == size;
    }

    // An unsigned field of `size` bytes (2, 4 or 8) at `offset`.
    bool Field(std::uint64_t offset, std::size_t size, std::uint64_t& value) {
        unsigned char bytes[8];
        if (!ReadAt(offset, bytes, size)) return false;
        value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            std::size_t index = m_bigEndian ? i : size - 1 - i;
            value = (value << 8) | bytes[index];
        }
        return true;
    }

  private:
    std::ifstream m_in;
    bool m_is64 = false;
    bool m_bigEndian = false;
};

// Field offsets of the ELF header, program header and section header, for 32 and 64 bits.
struct Layout {
    std::uint64_t headerTable, entrySize, count;  // in the file header
    std::uint64_t type, offset, size, alignment;  // in each table entry
    std::size_t word;
};

void CollectRanges(ElfFile& elf, const Layout& layout, std::uint32_t wantedType,
                   std::vector<NoteRange>& ranges) {
    std::uint64_t table = 0, entrySize = 0, count = 0;
    if (!elf.Field(layout.headerTable, layout.word, table) ||
        !elf.Field(layout.entrySize, 2, entrySize) || !elf.Field(layout.count, 2, count) ||
        table == 0 || entrySize == 0 || count > kMaxHeaders) {
        return;
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t entry = table + i * entrySize;
        NoteRange range{};
        std::uint64_t type = 0;
        if (!elf.Field(entry + layout.type, 4, type) ||
            !elf.Field(entry + layout.offset, layout.word, range.offset) ||
            !elf.Field(entry + layout.size, layout.word, range.size) ||
            !elf.Field(entry + layout.alignment, layout.word, range.alignment)) {
            return;
        }
        // Offsets past any real file would only make the arithmetic below wrap.
        if (type == wantedType && range.offset < kMaxOffset && range.size < kMaxOffset) {
            ranges.push_back(range);
        }
    }
}

std::uint64_t Padded(std::uint64_t size, std::uint64_t alignment) {
    return (size + alignment - 1) / alignment * alignment;
}

enum class NoteSearch { kNotFound, kFound, kTooLarge };

// Finds the version note in one range of notes and copies its descriptor.
NoteSearch FindNote(ElfFile& elf, const NoteRange& range, std::string& descriptor) {
    // Notes are padded to 4 bytes, or to 8 in ranges aligned so (GNU property notes).
    const std::uint64_t alignment = range.alignment == 8 ? 8 : 4;
    const std::uint64_t ownerSize = sizeof kVersionNoteOwner;
    std::uint64_t at = range.offset;
    const std::uint64_t end = range.offset + range.size;
    while (end > at && end - at >= 12) {
        std::uint64_t nameSize = 0, descriptorSize = 0, type = 0;
        if (!elf.Field(at, 4, nameSize) || !elf.Field(at + 4, 4, descriptorSize) ||
            !elf.Field(at + 8, 4, type)) {
            break;
        }
        const std::uint64_t name = at + 12;
        const std::uint64_t payload = name + Padded(nameSize, alignment);
        const std::uint64_t next = payload + Padded(descriptorSize, alignment);
        if (next > end) break;
        char owner[sizeof kVersionNoteOwner];
        if (nameSize == ownerSize && type == kVersionNoteType &&
            elf.ReadAt(name, owner, ownerSize) &&
            std::memcmp(owner, kVersionNoteOwner, ownerSize) == 0) {
            if (descriptorSize > kMaxVersionNoteSize) return NoteSearch::kTooLarge;
            descriptor.assign(static_cast<std::size_t>(descriptorSize), '\0');
            if (!elf.ReadAt(payload, &descriptor[0], descriptor.size())) break;
            return NoteSearch::kFound;
        }
        at = next;
    }
    return NoteSearch::kNotFound;
}

bool FileVersionEntry(const std::string& descriptor, std::string& version) {
    const std::size_t keyLength = sizeof kFileVersionKey - 1;
    std::size_t at = 0;
    while (at < descriptor.size()) {
        std::size_t end = descriptor.find('\0', at);
        if (end == std::string::npos) end = descriptor.size();
        if (descriptor.compare(at, keyLength, kFileVersionKey) == 0) {
            version = descriptor.substr(at + keyLength, end - at - keyLength);
            return true;
        }
        at = end + 1;
    }
    return false;
}

}  // namespace

VersionLookup ReadFileVersion(const std::string& path, std::string& version) {
    ElfFile elf(path);
    if (!elf.ReadIdentity()) return VersionLookup::kNoVersionInformation;
    const bool is64 = elf.Is64();
    const Layout program = is64 ? Layout{0x20, 0x36, 0x38, 0x00, 0x08, 0x20, 0x30, 8}
                                : Layout{0x1C, 0x2A, 0x2C, 0x00, 0x04, 0x10, 0x1C, 4};
    const Layout section = is64 ? Layout{0x28, 0x3A, 0x3C, 0x04, 0x18, 0x20, 0x30, 8}
                                : Layout{0x20, 0x2E, 0x30, 0x04, 0x10, 0x14, 0x20, 4};
    // Loaded files list their notes in the program headers; object files only in sections.
    std::vector<NoteRange> ranges;
    CollectRanges(elf, program, kProgramNote, ranges);
    if (ranges.empty()) CollectRanges(elf, section, kSectionNote, ranges);

    for (const NoteRange& range : ranges) {
        std::string descriptor;
        switch (FindNote(elf, range, descriptor)) {
            case NoteSearch::kTooLarge:
                return VersionLookup::kNoBuffer;
            case NoteSearch::kFound:
                return FileVersionEntry(descriptor, version) ? VersionLookup::kFound
                                                             : VersionLookup::kNoFileVersionEntry;
            case NoteSearch::kNotFound:
                break;
        }
    }
    return VersionLookup::kNoVersionInformation;
}

}  // namespace zn::platform
