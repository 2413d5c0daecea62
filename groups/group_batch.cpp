// Loading the entry attributes of many groups at once: one search for a few hundred group
// names instead of one connection, bind and search per group and attribute.
#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "groups/group_impl.h"
#include "session/format.h"
#include "session/status_codes.h"

namespace {

constexpr std::size_t kNamesPerSearch = 200;
constexpr const char* kUnknownGroupSuffix = " is not a valid group name.";

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Only a name the directory compares as plain text can be matched to the entries of a shared
// search as its own search would match it: no blanks the directory would fold, no escapes.
bool PlainName(const std::string& name) {
    if (name.empty() || name.front() == ' ' || name.back() == ' ') return false;
    char previous = '\0';
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        const bool plain =
            std::isalnum(u) || c == '.' || c == '_' || c == '-' || (c == ' ' && previous != ' ');
        if (!plain) return false;
        previous = c;
    }
    return true;
}

}  // namespace

const CZNGroupImpl::LoadedGroup* CZNGroupImpl::Loaded() const {
    return m_loadedGroup && m_loadedGroup->name == m_groupName ? m_loadedGroup.get() : nullptr;
}

void CZNGroupImpl::LoadedValues(const LoadedGroup& loaded,
                                std::list<std::string> LoadedEntry::*attribute) {
    m_values.clear();
    for (const LoadedEntry& entry : loaded.entries) {
        m_values.insert(m_values.end(), (entry.*attribute).begin(), (entry.*attribute).end());
    }
    SetErrorStatus(loaded.code, loaded.text);
}

const std::string& CZNGroupImpl::LoadedGroupDN(const LoadedGroup& loaded) {
    m_groupDN = loaded.entries.empty() ? std::string() : loaded.entries.front().dn;
    if (m_groupDN.empty()) {
        SetErrorStatus(zn::status::kInvalidGroupName, m_groupName + kUnknownGroupSuffix);
    } else {
        SetErrorStatus(zn::kStatusSuccess, "");
    }
    Report("GetOrganizationalUnit");
    return m_groupDN;
}

long CZNGroupImpl::LoadGroups(const std::vector<CZNGroupImpl*>& groups) {
    // The groups a shared search serves, by name (kept names are upper-cased already; one
    // name may stand for several objects), and the names in the order first met.
    std::unordered_map<std::string, std::vector<CZNGroupImpl*>> byName;
    std::vector<std::string> names;
    CZNGroupImpl* session = nullptr;
    for (CZNGroupImpl* group : groups) {
        group->m_loadedGroup.reset();
        if (!PlainName(group->m_groupName)) continue;
        if (session != nullptr && !group->SameSessionAs(*session)) continue;
        if (session == nullptr) session = group;
        std::vector<CZNGroupImpl*>& same = byName[group->m_groupName];
        if (same.empty()) names.push_back(group->m_groupName);
        same.push_back(group);
    }
    if (session == nullptr) return 0;

    CZNGroupImpl searcher;
    session->ConfigureHelper(searcher);
    const char* const attributes[] = {"cn", "description", "companynumber", "mailaliased", nullptr};
    long found = 0;
    for (std::size_t first = 0; first < names.size(); first += kNamesPerSearch) {
        const std::size_t end = std::min(names.size(), first + kNamesPerSearch);
        std::unordered_map<std::string, std::shared_ptr<LoadedGroup>> loaded;
        std::string filter = "(&(objectclass=groupOfUniqueNames)(|";
        for (std::size_t i = first; i < end; ++i) {
            filter += "(cn=" + zn::EscapeFilterValue(names[i]) + ")";
            auto group = std::make_shared<LoadedGroup>();
            group->name = names[i];
            loaded.emplace(names[i], std::move(group));
        }
        filter += "))";
        // Each entry is kept until its attributes are read, then handed to every group that
        // one of its names stands for.
        LoadedEntry entry;
        std::vector<std::string> entryNames;
        bool started = false;
        auto take = [&] {
            // An entry whose cn holds one name twice, in two letter cases, is still one entry.
            std::sort(entryNames.begin(), entryNames.end());
            entryNames.erase(std::unique(entryNames.begin(), entryNames.end()), entryNames.end());
            for (const std::string& name : entryNames) {
                auto match = loaded.find(name);
                if (match != loaded.end()) match->second->entries.push_back(entry);
            }
        };
        const bool searched = searcher.SearchAndWalk(
            filter.c_str(), attributes,
            [&](const char* dn) {
                if (started) take();
                started = true;
                entry = LoadedEntry();
                entryNames.clear();
                if (dn != nullptr) entry.dn = dn;
            },
            [&](const char* attribute, char** values) {
                if (!started || values == nullptr) return;
                const std::string name = Upper(attribute);
                std::list<std::string>* into = name == "DESCRIPTION"     ? &entry.description
                                               : name == "COMPANYNUMBER" ? &entry.companyNumber
                                               : name == "MAILALIASED"   ? &entry.mailAliased
                                                                         : nullptr;
                for (char** value = values; *value != nullptr; ++value) {
                    if (into != nullptr) into->emplace_back(*value);
                    if (name == "CN") entryNames.push_back(Upper(*value));
                }
            });
        if (searched && started) take();
        for (std::size_t i = first; i < end; ++i) {
            std::shared_ptr<LoadedGroup>& group = loaded[names[i]];
            group->code = searcher.GetErrorStatusCode();
            group->text = searcher.GetErrorStatusText();
            for (CZNGroupImpl* object : byName[names[i]]) {
                if (!searched) {
                    // As the group's own search would have failed: the reason, nothing read.
                    object->SetErrorStatus(group->code, group->text);
                    continue;
                }
                object->m_loadedGroup = group;
                if (group->entries.empty()) {
                    object->SetErrorStatus(zn::status::kInvalidGroupName,
                                           names[i] + kUnknownGroupSuffix);
                } else {
                    object->SetErrorStatus(zn::kStatusSuccess, "");
                    ++found;
                }
            }
        }
    }
    return found;
}
