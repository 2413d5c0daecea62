// The extraction routines shared by the group and worker implementations.
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

std::string CZNDirectoryBase::NameFromDN(const char* value) {
    // The second token when splitting at '=' and ',' as strtok does: separators before the
    // first token are skipped and a run of them counts as one.
    constexpr const char* kSeparators = "=,";
    const char* cursor = value + std::strspn(value, kSeparators);
    cursor += std::strcspn(cursor, kSeparators);
    cursor += std::strspn(cursor, kSeparators);
    return std::string(cursor, std::strcspn(cursor, kSeparators));
}

}  // namespace zn
