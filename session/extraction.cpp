// The extraction routines shared by the group and worker implementations.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "session/directory_base.h"

namespace zn {

void CZNDirectoryBase::CollectValues(const char* filter, const char* const* attributes,
                                     std::list<std::string>& values) {
    SetErrorStatus(kStatusSuccess, "");
    values.clear();
    SearchAndWalk(filter, attributes, nullptr, [&values](const char*, char** found) {
        for (char** value = found; value != nullptr && *value != nullptr; ++value) {
            values.emplace_back(*value);
        }
    });
}

long CZNDirectoryBase::CountValues(const char* filter, const char* const* attributes) {
    SetErrorStatus(kStatusSuccess, "");
    long count = 0;
    SearchAndWalk(filter, attributes, nullptr, [&count](const char*, char** found) {
        if (found != nullptr) {
            count = ldapapi::CountValues(found);
        }
    });
    return count;
}

long CZNDirectoryBase::ReadFirstCharacter(const char* filter, const char* const* attributes) {
    SetErrorStatus(kStatusSuccess, "");
    long character = 0;
    SearchAndWalk(filter, attributes, nullptr, [&character](const char*, char** found) {
        for (char** value = found; value != nullptr && *value != nullptr; ++value) {
            character = static_cast<signed char>((*value)[0]);
        }
    });
    return character;
}

void CZNDirectoryBase::CollectNames(const char* filter, const char* const* attributes,
                                    std::list<std::string>& values, std::list<std::string>& names) {
    names.clear();
    CollectValues(filter, attributes, values);
    for (const std::string& value : values) {
        std::string name = NameFromDN(value.c_str());
        // A value that is not a DN names nobody; it is left out rather than listed empty.
        if (!name.empty()) {
            names.push_back(std::move(name));
        }
    }
    names.sort();
}

void CZNDirectoryBase::CollectSorted(const char* filter, const char* const* attributes,
                                     std::vector<std::string>& sorted, bool namesFromDNs) {
    SetErrorStatus(kStatusSuccess, "");
    sorted.clear();
    SearchAndWalk(filter, attributes, nullptr, [&](const char*, char** found) {
        if (found == nullptr) return;
        sorted.reserve(sorted.size() + static_cast<std::size_t>(ldapapi::CountValues(found)));
        for (char** value = found; *value != nullptr; ++value) {
            if (!namesFromDNs) {
                sorted.emplace_back(*value);
                continue;
            }
            std::string name = NameFromDN(*value);
            // A value that is not a DN names nobody; it is left out rather than listed empty.
            if (!name.empty()) {
                sorted.push_back(std::move(name));
            }
        }
    });
    // Sorted once the result is released, so the values and the names never peak together
    // with the sort.
    std::sort(sorted.begin(), sorted.end());
}

std::string CZNDirectoryBase::NameFromDN(const char* value) {
    // The second token when splitting at '=' and ',' as strtok does: separators before the
    // first token are skipped and a run of them counts as one. A separator escaped with a
    // backslash belongs to the name ("uid=smith\, pat,..." names "smith, pat"); escapes are
    // undone, whether written as the character ("\,") or as two hexadecimal digits ("\2C").
    constexpr const char* kSeparators = "=,";
    const char* cursor = value + std::strspn(value, kSeparators);
    cursor += std::strcspn(cursor, kSeparators);
    cursor += std::strspn(cursor, kSeparators);
    const std::size_t length = std::strcspn(cursor, "=,\\");
    if (cursor[length] != '\\') {
        return std::string(cursor, length);  // nothing escaped: the common case, in one copy
    }
    std::string name;
    for (; *cursor != '\0' && std::strchr(kSeparators, *cursor) == nullptr; ++cursor) {
        if (*cursor != '\\' || cursor[1] == '\0') {
            name += *cursor;
        } else if (std::isxdigit(static_cast<unsigned char>(cursor[1])) &&
                   std::isxdigit(static_cast<unsigned char>(cursor[2]))) {
            const char hex[3] = {cursor[1], cursor[2], '\0'};
            name += static_cast<char>(std::strtol(hex, nullptr, 16));
            cursor += 2;
        } else {
            name += *++cursor;
        }
    }
    return name;
}

}  // namespace zn
