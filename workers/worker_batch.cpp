// Loading many workers at once: one search for a few hundred user names instead of one
// connection, bind and search per person, with each worker left as its own load leaves it.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "session/format.h"
#include "workers/worker_impl.h"

namespace {

// Names per shared search: the filter stays a few kilobytes, and the entries of one search
// stay within the directory's usual size limit (500) even with a twin for every name.
constexpr std::size_t kNamesPerSearch = 200;
constexpr std::size_t kMaxUserNameLength = 51;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

// One entry of a shared search: its DN, the first value of each attribute in the server's
// order, and every user name it answers to.
struct CZNWorkerImpl::FoundEntry {
    bool hasDN = false;
    std::string dn;
    std::vector<std::pair<std::string, std::string>> firstValues;
    std::set<std::string> userNames;
};

bool CZNWorkerImpl::SharedSearchKey(std::string& key) const {
    // Only names the directory compares as plain text, ignoring case, can be matched to the
    // entries of a shared search exactly as their own search would match them; any other
    // name (blanks, wildcards, escapes, other alphabets) loads by itself.
    if (m_userName.empty() || m_userName.size() > kMaxUserNameLength) return false;
    for (char c : m_userName) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '.' && c != '_' && c != '-') return false;
    }
    key = Lower(m_userName);
    return true;
}

bool CZNWorkerImpl::SameSessionAs(const CZNWorkerImpl& other) const {
    return GetDomain() == other.GetDomain() &&
           GetAdministrationPort() == other.GetAdministrationPort() &&
           GetConnectTimeOutSeconds() == other.GetConnectTimeOutSeconds() &&
           GetConnectTimeOutMicroSeconds() == other.GetConnectTimeOutMicroSeconds() &&
           GetSearchTimeOutSeconds() == other.GetSearchTimeOutSeconds() &&
           GetSearchTimeOutMicroSeconds() == other.GetSearchTimeOutMicroSeconds();
}

void CZNWorkerImpl::BeginLoad() {
    SetErrorStatus(zn::kStatusSuccess, "");
    ClearSearchFailed();
    ClearAttributeFields();
    m_loaded = 0;
}

void CZNWorkerImpl::TakeEntry(const FoundEntry& entry) {
    if (entry.hasDN) {
        m_workerDN = entry.dn;
        m_dnResolved = 1;
    }
    for (const auto& [name, value] : entry.firstValues) StoreAttribute(name.c_str(), value.c_str());
    m_loaded = 1;
}

void CZNWorkerImpl::EndLoad(const CZNDirectoryBase& searcher, bool searched) {
    if (!searched) {
        // As a load whose own search failed: the search's reason, nothing read.
        SetErrorStatus(searcher.GetErrorStatusCode(), searcher.GetErrorStatusText());
        MarkSearchFailed();
        return;
    }
    if (m_loaded != 0) {
        SetErrorStatus(zn::kStatusSuccess, "");
    } else {
        ReportUnknownWorker();
    }
}

long CZNWorkerImpl::LoadWorkers(const std::vector<CZNWorkerImpl*>& workers) {
    long loaded = 0;
    // The workers a shared search serves, by lower-cased user name (a name may stand for
    // several objects), and the names in the order first met.
    std::map<std::string, std::vector<CZNWorkerImpl*>> byName;
    std::vector<std::string> names;
    CZNWorkerImpl* session = nullptr;
    for (CZNWorkerImpl* worker : workers) {
        std::string key;
        if (worker->SharedSearchKey(key) &&
            (session == nullptr || worker->SameSessionAs(*session))) {
            if (session == nullptr) session = worker;
            std::vector<CZNWorkerImpl*>& same = byName[key];
            if (same.empty()) names.push_back(key);
            same.push_back(worker);
        } else {
            worker->LoadWorker();
            loaded += worker->m_loaded != 0 ? 1 : 0;
        }
    }
    if (session == nullptr) return loaded;

    CZNWorkerImpl searcher;
    session->ConfigureHelper(searcher);
    for (std::size_t first = 0; first < names.size(); first += kNamesPerSearch) {
        const std::size_t end = std::min(names.size(), first + kNamesPerSearch);
        std::string filter = "(&(objectclass=organizationalPerson)(|";
        const std::set<std::string> asked(names.begin() + first, names.begin() + end);
        for (std::size_t i = first; i < end; ++i) {
            filter += "(uid=" + zn::EscapeFilterValue(names[i]) + ")";
            for (CZNWorkerImpl* worker : byName[names[i]]) worker->BeginLoad();
        }
        filter += "))";

        std::vector<FoundEntry> entries;
        const bool searched = searcher.SearchAndWalk(
            filter.c_str(), nullptr,
            [&entries](const char* dn) {
                entries.emplace_back();
                entries.back().hasDN = dn != nullptr;
                if (dn != nullptr) entries.back().dn = dn;
            },
            [&entries](const char* name, char** values) {
                if (entries.empty() || values == nullptr || values[0] == nullptr) return;
                FoundEntry& entry = entries.back();
                entry.firstValues.emplace_back(name, values[0]);
                if (Lower(name) == "uid") {
                    for (char** value = values; *value != nullptr; ++value) {
                        entry.userNames.insert(Lower(*value));
                    }
                }
            });
        // Each worker takes, in the server's order, every entry its own search would have
        // found: one uid under two branches is two entries, the later one overwriting.
        if (searched) {
            for (const FoundEntry& entry : entries) {
                for (const std::string& name : entry.userNames) {
                    if (asked.count(name) == 0) continue;
                    for (CZNWorkerImpl* worker : byName[name]) worker->TakeEntry(entry);
                }
            }
        }
        for (std::size_t i = first; i < end; ++i) {
            for (CZNWorkerImpl* worker : byName[names[i]]) {
                worker->EndLoad(searcher, searched);
                loaded += worker->m_loaded != 0 ? 1 : 0;
            }
        }
    }
    return loaded;
}
