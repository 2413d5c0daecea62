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

bool CZNWorkerImpl::SharedSearchKey(const std::string& userName, std::string& key) {
    // Only names the directory compares as plain text, ignoring case, can be matched to the
    // entries of a shared search exactly as their own search would match them; any other
    // name (blanks, wildcards, escapes, other alphabets) loads by itself.
    if (userName.empty() || userName.size() > kMaxUserNameLength) return false;
    for (char c : userName) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '.' && c != '_' && c != '-') return false;
    }
    key = Lower(userName);
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
                                  const std::function<void(const FoundEntry&)>& take, bool stream) {
    FoundEntry entry;
    bool started = false;
    const auto walk = stream ? &CZNWorkerImpl::StreamSearch : &CZNWorkerImpl::SearchAndWalk;
    const bool searched = (searcher.*walk)(
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

// The workers one user name stands for in a shared load, and what the load found for it.
struct CZNWorkerImpl::NameLoad {
    std::vector<CZNWorkerImpl::LoadTarget*> targets;
    std::shared_ptr<zn::LoadedWorker> record;
    // The record could not hold the values (tens of kilobytes): the workers without an
    // implementation object then load by themselves.
    bool overflow = false;
};

void CZNWorkerImpl::TakeForName(NameLoad& load, const FoundEntry& entry) {
    bool light = false;
    for (LoadTarget* target : load.targets) {
        if (target->impl != nullptr) {
            target->impl->TakeEntry(entry);
        } else {
            light = true;
        }
    }
    if (!light) return;
    if (!load.overflow) {
        if (!load.record) load.record = std::make_shared<zn::LoadedWorker>();
        bool fits = !entry.hasDN || load.record->Set(kDnSlot, entry.dn.c_str());
        for (const auto& [name, value] : entry.firstValues) {
            fits = fits && Record(*load.record, name.c_str(), value.c_str());
        }
        load.overflow = !fits;
    }
}

void CZNWorkerImpl::FinishName(NameLoad& load, const CZNDirectoryBase& searcher, bool searched,
                               long& found) {
    for (LoadTarget* target : load.targets) {
        if (target->impl == nullptr && searched && load.record && !load.overflow) {
            target->keep(load.record);
            ++found;
            continue;
        }
        CZNWorkerImpl& worker = target->impl != nullptr ? *target->impl : target->make();
        if (target->impl == nullptr && load.overflow) {
            worker.LoadWorker();
        } else {
            if (target->impl == nullptr) worker.BeginLoad();
            worker.EndLoad(searcher, searched);
        }
        found += worker.m_loaded != 0 ? 1 : 0;
    }
}

long CZNWorkerImpl::LoadWorkers(std::vector<LoadTarget>& targets) {
    long found = 0;
    // The workers a shared search serves, by lower-cased user name, and the names in the
    // order first met.
    std::unordered_map<std::string, NameLoad> byName;
    std::vector<std::string> names;
    const CZNDirectoryBase* session = nullptr;
    for (LoadTarget& target : targets) {
        std::string key;
        if (SharedSearchKey(*target.userName, key) &&
            (session == nullptr || target.session->SameSessionAs(*session))) {
            if (session == nullptr) session = target.session;
            NameLoad& load = byName[key];
            if (load.targets.empty()) names.push_back(key);
            load.targets.push_back(&target);
        } else {
            CZNWorkerImpl& worker = target.impl != nullptr ? *target.impl : target.make();
            worker.LoadWorker();
            found += worker.m_loaded != 0 ? 1 : 0;
        }
    }
    if (session == nullptr) return found;

    CZNWorkerImpl searcher;
    // Loading sends no usage report, so the searcher needs only the settings.
    searcher.CopySessionSettings(*session);
    auto begin = [&](std::size_t first, std::size_t end) {
        for (std::size_t i = first; i < end; ++i) {
            for (LoadTarget* target : byName[names[i]].targets) {
                if (target->impl != nullptr) target->impl->BeginLoad();
            }
        }
    };
    auto finish = [&](std::size_t first, std::size_t end, bool searched) {
        for (std::size_t i = first; i < end; ++i) {
            FinishName(byName[names[i]], searcher, searched, found);
        }
    };
    // Each worker takes, in the server's order, every entry its own search would have found:
    // one uid under two branches is two entries, the later one overwriting.
    // A list of most of the company is read in one search of every person; a directory that
    // will not give that many entries at once is asked a few hundred names at a time.
    if (names.size() >= kWholeDirectoryNames) {
        begin(0, names.size());
        if (SearchEntries(
                searcher, kEveryPersonFilter,
                [&](const FoundEntry& entry) {
                    for (const std::string& name : entry.userNames) {
                        auto match = byName.find(name);
                        if (match != byName.end()) TakeForName(match->second, entry);
                    }
                },
                /*stream=*/true)) {
            finish(0, names.size(), true);
            return found;
        }
        // Forget what a search that failed part way handed out.
        for (auto& [name, load] : byName) {
            load.record.reset();
            load.overflow = false;
        }
    }
    for (std::size_t first = 0; first < names.size(); first += kNamesPerSearch) {
        const std::size_t end = std::min(names.size(), first + kNamesPerSearch);
        std::string filter = "(&(objectclass=organizationalPerson)(|";
        const std::set<std::string> asked(names.begin() + first, names.begin() + end);
        for (std::size_t i = first; i < end; ++i) {
            filter += "(uid=" + zn::EscapeFilterValue(names[i]) + ")";
        }
        filter += "))";
        begin(first, end);
        const bool searched = SearchEntries(searcher, filter, [&](const FoundEntry& entry) {
            for (const std::string& name : entry.userNames) {
                if (asked.count(name) != 0) TakeForName(byName[name], entry);
            }
        });
        finish(first, end, searched);
    }
    return found;
}
