// Win32 back end of the file-version lookup: the FileVersion string of the version resource.
#include "platform/file_version.h"

#include <windows.h>

#include <cstdio>
#include <new>
#include <vector>

namespace zn::platform {
namespace {

// The code pages of the string tables tried after the user's language: Unicode (0x04B0) and
// Windows Latin-1 (0x04E4), which is what resource compilers write by default.
constexpr unsigned kUnicodeCodePage = 0x04B0;
constexpr unsigned kLatin1CodePage = 0x04E4;

bool QueryFileVersion(std::vector<char>& block, const char* subBlock, std::string& version) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), subBlock, &value, &length) || value == nullptr ||
        length == 0) {
        return false;
    }
    // The length counts characters including the terminating NUL, when one is there.
    const char* text = static_cast<const char*>(value);
    std::size_t size = 0;
    while (size < length && text[size] != '\0') ++size;
    version.assign(text, size);
    return true;
}

}  // namespace

VersionLookup ReadFileVersion(const std::string& path, std::string& version) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return VersionLookup::kNoVersionInformation;
    std::vector<char> block;
    try {
        block.resize(size);
    } catch (const std::bad_alloc&) {
        return VersionLookup::kNoBuffer;
    }
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) {
        return VersionLookup::kNoVersionInformation;
    }
    const unsigned language = GetUserDefaultLangID();
    char subBlock[64];
    std::snprintf(subBlock, sizeof subBlock, "\\StringFileInfo\\%04X%04X\\FileVersion", language,
                  kUnicodeCodePage);
    if (QueryFileVersion(block, subBlock, version)) return VersionLookup::kFound;
    std::snprintf(subBlock, sizeof subBlock, "\\StringFileInfo\\%04X%04X\\FileVersion", language,
                  kLatin1CodePage);
    if (QueryFileVersion(block, subBlock, version)) return VersionLookup::kFound;
    if (QueryFileVersion(block, "\\StringFileInfo\\000004E4\\FileVersion", version) ||
        QueryFileVersion(block, "\\StringFileInfo\\000004B0\\FileVersion", version)) {
        return VersionLookup::kFound;
    }
    return VersionLookup::kNoFileVersionEntry;
}

}  // namespace zn::platform
