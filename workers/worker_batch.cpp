// Loading many workers at once: one search for a few hundred user names instead of one
// connection, bind and search per person, with each worker left as its own load leaves it.
#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "session/format.h"
#include "workers/worker_impl.h"

namespace {

// Names per shared search: the filter stays a few kilobytes, and the entries of one search
// stay within the directory's usual size limit (500) even with a twin for every name.
constexpr std::size_t kNamesPerSearch = 200;
// From this many names on, one search of every person costs less than the searches of a few
// hundred names would, whatever the company's size beyond them.
constexpr std::size_t kWholeDirectoryNames = 20000;
constexpr const char* kEveryPersonFilter = "(objectclass=organizationalPerson)";
constexpr std::size_t kMaxUserNameLength = 51;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

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

// One entry is held at a time beside the search's result.
bool CZNWorkerImpl::SearchEntries(CZNWorkerImpl& searcher, const std::string& filter,
                                  const std::function<void(const FoundEntry&)>& take) {
    FoundEntry entry;
    bool started = false;
    const bool searched = searcher.SearchAndWalk(
        filter.c_str(), nullptr,
        [&](const char* dn) {
            if (started) take(entry);
            started = true;
            entry = FoundEntry();
            entry.hasDN = dn != nullptr;
            if (dn != nullptr) entry.dn = dn;
        },
        [&](const char* name, char** values) {
            if (!started || values == nullptr || values[0] == nullptr) return;
            entry.firstValues.emplace_back(name, values[0]);
            if (Lower(name) == "uid") {
                for (char** value = values; *value != nullptr; ++value) {
                    entry.userNames.insert(Lower(*value));
                }
            }
        });
    if (searched && started) take(entry);
    return searched;
}

long CZNWorkerImpl::LoadWorkers(const std::vector<CZNWorkerImpl*>& workers) {
    long loaded = 0;
    // The workers a shared search serves, by lower-cased user name (a name may stand for
    // several objects), and the names in the order first met.
    std::unordered_map<std::string, std::vector<CZNWorkerImpl*>> byName;
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
    // Each worker takes, in the server's order, every entry its own search would have found:
    // one uid under two branches is two entries, the later one overwriting.
    auto finish = [&](std::size_t first, std::size_t end, bool searched) {
        for (std::size_t i = first; i < end; ++i) {
            for (CZNWorkerImpl* worker : byName[names[i]]) {
                worker->EndLoad(searcher, searched);
                loaded += worker->m_loaded != 0 ? 1 : 0;
            }
        }
    };
    // A list of most of the company is read in one search of every person; a directory that
    // will not give that many entries at once is asked a few hundred names at a time.
    if (names.size() >= kWholeDirectoryNames) {
        for (const auto& [name, same] : byName) {
            for (CZNWorkerImpl* worker : same) worker->BeginLoad();
        }
    }
    if (names.size() >= kWholeDirectoryNames &&
        SearchEntries(searcher, kEveryPersonFilter, [&](const FoundEntry& entry) {
            for (const std::string& name : entry.userNames) {
                auto found = byName.find(name);
                if (found == byName.end()) continue;
                for (CZNWorkerImpl* worker : found->second) worker->TakeEntry(entry);
            }
        })) {
        finish(0, names.size(), true);
        return loaded;
    }
    for (std::size_t first = 0; first < names.size(); first += kNamesPerSearch) {
        const std::size_t end = std::min(names.size(), first + kNamesPerSearch);
        std::string filter = "(&(objectclass=organizationalPerson)(|";
        const std::set<std::string> asked(names.begin() + first, names.begin() + end);
        for (std::size_t i = first; i < end; ++i) {
            filter += "(uid=" + zn::EscapeFilterValue(names[i]) + ")";
            for (CZNWorkerImpl* worker : byName[names[i]]) worker->BeginLoad();
        }
        filter += "))";
        const bool searched = SearchEntries(searcher, filter, [&](const FoundEntry& entry) {
            for (const std::string& name : entry.userNames) {
                if (asked.count(name) == 0) continue;
                for (CZNWorkerImpl* worker : byName[name]) worker->TakeEntry(entry);
            }
        });
        finish(first, end, searched);
    }
    return loaded;
}
