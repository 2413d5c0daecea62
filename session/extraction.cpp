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
    m_lastSearchFailed =
        ConnectAndSearch(OrganizationBaseDN(), filter, attributes) != ldapapi::kSuccess;
    if (m_lastSearchFailed) {
        return;
    }
    struct Target {
        std::vector<std::string>& sorted;
        bool namesFromDNs;
    } target{sorted, namesFromDNs};
    // The values are read where the result holds them; only the names are copied out.
    auto take = [](void* context, ldapapi::ValueView, const ldapapi::ValueView* values,
                   std::size_t count) {
        Target& into = *static_cast<Target*>(context);
        into.sorted.reserve(into.sorted.size() + count);
        for (std::size_t i = 0; i < count; ++i) {
            if (!into.namesFromDNs) {
                into.sorted.emplace_back(values[i].data, values[i].length);
                continue;
            }
            std::string name = NameFromDN(values[i].data, values[i].length);
            // A value that is not a DN names nobody; it is left out rather than listed empty.
            if (!name.empty()) {
                into.sorted.push_back(std::move(name));
            }
        }
    };
    ldapapi::Handle* handle = m_connection.get();
    for (ldapapi::Message* entry = ldapapi::FirstEntry(handle, m_searchResult.get());
         entry != nullptr; entry = ldapapi::NextEntry(handle, entry)) {
        ldapapi::VisitValues(handle, entry, take, &target);
    }
    // Sorted once the result is released, so the values and the names never peak together
    // with the sort.
    ReleaseSearch();
    std::sort(sorted.begin(), sorted.end());
}

std::string CZNDirectoryBase::NameFromDN(const char* value) {
    return NameFromDN(value, std::strlen(value));
}

std::string CZNDirectoryBase::NameFromDN(const char* value, std::size_t length) {
    // The second token when splitting at '=' and ',' as strtok does: separators before the
    // first token are skipped and a run of them counts as one. A separator escaped with a
    // backslash belongs to the name ("uid=smith\\, pat,..." names "smith, pat"); escapes are
    // undone, whether written as the character ("\\,") or as two hexadecimal digits ("\\2C").
    const char* cursor = value;
    const char* const end = value + length;
    auto separator = [](char c) { return c == '=' || c == ',' || c == '\0'; };
    while (cursor != end && *cursor != '\0' && separator(*cursor)) ++cursor;
    while (cursor != end && !separator(*cursor)) ++cursor;
    while (cursor != end && *cursor != '\0' && separator(*cursor)) ++cursor;
    const char* const start = cursor;
    while (cursor != end && !separator(*cursor) && *cursor != '\\') ++cursor;
    if (cursor == end || *cursor != '\\') {
        return std::string(start, cursor);  // nothing escaped: the common case, in one copy
    }
    std::string name(start, cursor);
    for (; cursor != end && !separator(*cursor); ++cursor) {
        const bool last = cursor + 1 == end || cursor[1] == '\0';
        if (*cursor != '\\' || last) {
            name += *cursor;
        } else if (cursor + 2 < end && std::isxdigit(static_cast<unsigned char>(cursor[1])) &&
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
