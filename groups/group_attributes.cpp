// Single attributes of the group's entry: company number, description, any named attribute,
// the mail-aliased flag and the organizational unit.
#include <algorithm>
#include <cstring>

#include "groups/group_impl.h"
#include "session/format.h"
#include "session/status_codes.h"

namespace {

namespace status = zn::status;

// The requested attribute name shares the filter's 256-character buffer size.
constexpr std::size_t kMaxAttributeNameLength = 255;
constexpr std::size_t kMaxUnitLength = 256;

constexpr const char* kInvalidCriteriaFormat = "Invalid search criteria - %s";
constexpr const char* kInvalidGroupEntrySuffix = " has an invalid group entry.";

}  // namespace

const std::string& CZNGroupImpl::ReadSingleValue(std::string& member, const char* attribute,
                                                 const char* label) {
    std::string filter;
    if (!GroupFilter(filter, m_groupName)) {
        return member;
    }
    const LoadedGroup* loaded = Loaded();
    if (loaded != nullptr && std::strcmp(attribute, "description") == 0) {
        LoadedValues(*loaded, &LoadedEntry::description);
    } else if (loaded != nullptr && std::strcmp(attribute, "companynumber") == 0) {
        LoadedValues(*loaded, &LoadedEntry::companyNumber);
    } else {
        const char* attributes[] = {attribute, nullptr};
        CollectValues(filter.c_str(), attributes, m_values);
    }
    if (!m_values.empty()) {
        member = m_values.front();
    }
    Report(label);
    return member;
}

const std::string& CZNGroupImpl::GetCompanyNumber() {
    m_companyNumber.clear();
    m_values.clear();
    if (!CheckGroupName(m_groupName)) {
        return m_companyNumber;
    }
    return ReadSingleValue(m_companyNumber, "companynumber", "GetCompanyNumber");
}

const std::string& CZNGroupImpl::GetDescription() {
    m_description.clear();
    m_values.clear();
    if (!CheckGroupName(m_groupName)) {
        return m_description;
    }
    return ReadSingleValue(m_description, "description", "GetDescription");
}

const std::string& CZNGroupImpl::GetGenericAttributeValue(const std::string& attribute) {
    m_genericAttributeValue.clear();
    if (!CheckGroupName(m_groupName)) {
        return m_genericAttributeValue;
    }
    // The name travels as the one requested attribute; a NUL inside it would silently ask
    // for a different one, and a name beyond the buffer cannot be asked for at all.
    if (attribute.size() > kMaxAttributeNameLength || attribute.find('\0') != std::string::npos) {
        SetErrorStatus(status::kInvalidFilter,
                       zn::FormatText(kInvalidCriteriaFormat,
                                      attribute.substr(0, kMaxAttributeNameLength).c_str()));
        return m_genericAttributeValue;
    }
    return ReadSingleValue(m_genericAttributeValue, attribute.c_str(), "GetGenericAttributeValue");
}

long CZNGroupImpl::GetMailAliasedFlag() {
    if (!CheckGroupName(m_groupName)) {
        return 0;
    }
    Report("GetMailAliasedFlag");
    std::string filter;
    if (!GroupFilter(filter, m_groupName)) {
        return 0;
    }
    if (const LoadedGroup* loaded = Loaded()) {
        long character = 0;
        for (const LoadedEntry& entry : loaded->entries) {
            for (const std::string& value : entry.mailAliased) {
                character = static_cast<signed char>(value[0]);
            }
        }
        SetErrorStatus(loaded->code, loaded->text);
        return character;
    }
    const char* attributes[] = {"mailaliased", nullptr};
    return ReadFirstCharacter(filter.c_str(), attributes);
}

const std::string& CZNGroupImpl::GetOrganizationalUnit() {
    m_organizationalUnit.clear();
    const LoadedGroup* loaded = Loaded();
    const std::string dn =
        loaded != nullptr ? LoadedGroupDN(*loaded) : GetGroupDN(m_groupName, "GetOrganizationalUnit");
    if (dn.empty()) {
        return m_organizationalUnit;
    }
    // The third strtok part at "=", "=", ",": the value of the DN's second component,
    // whatever its type (a group directly under the organization yields the organization).
    constexpr const char* kEquals = "=";
    const char* cursor = dn.c_str();
    std::size_t lengths[3] = {};
    const char* starts[3] = {};
    int found = 0;
    for (const char* separators : {kEquals, kEquals, ","}) {
        cursor += std::strspn(cursor, separators);
        if (*cursor == '\0') {
            break;
        }
        starts[found] = cursor;
        lengths[found] = std::strcspn(cursor, separators);
        cursor += lengths[found];
        ++found;
        // strtok consumes the separator that ended the part.
        if (*cursor != '\0') {
            ++cursor;
        }
    }
    if (found == 3) {
        m_organizationalUnit.assign(starts[2], std::min(lengths[2], kMaxUnitLength));
        return m_organizationalUnit;
    }
    SetErrorStatus(status::kInvalidGroupName, m_groupName + kInvalidGroupEntrySuffix);
    Report("GetOrganizationalUnit");
    return m_organizationalUnit;
}
