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

// Letter case folded as the directory folds user names, without the locale's lookups: every
// entry of a company-sized search passes here.
char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lower(std::string text) {
    for (char& c : text) c = LowerAscii(c);
    return text;
}

bool IsUid(const char* name) {
    return LowerAscii(name[0]) == 'u' && LowerAscii(name[1]) == 'i' && LowerAscii(name[2]) == 'd' &&
           name[3] == '\0';
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

// One entry is held at a time beside the search's result, already in the compact form the
// workers keep.
bool CZNWorkerImpl::SearchEntries(CZNWorkerImpl& searcher, const std::string& filter,
                                  const char* const* attributes, std::uint32_t asked,
                                  const std::function<void(const FoundEntry&)>& take, bool stream) {
    FoundEntry entry;
    bool started = false;
    auto finishEntry = [&] {
        std::sort(entry.userNames.begin(), entry.userNames.end());
        entry.userNames.erase(std::unique(entry.userNames.begin(), entry.userNames.end()),
                              entry.userNames.end());
        take(entry);
    };
    const auto walk = stream ? &CZNWorkerImpl::StreamSearch : &CZNWorkerImpl::SearchAndWalk;
    const bool searched = (searcher.*walk)(
        filter.c_str(), attributes,
        [&](const char* dn) {
            if (started) finishEntry();
            started = true;
            entry.record = std::make_shared<zn::LoadedWorker>();
            entry.record->asked = asked;
            entry.fits = dn == nullptr || entry.record->Set(kDnSlot, dn);
            entry.userNames.clear();
        },
        [&](const char* name, char** values) {
            if (!started || values == nullptr || values[0] == nullptr) return;
            entry.fits = Record(*entry.record, name, values[0]) && entry.fits;
            if (IsUid(name)) {
                for (char** value = values; *value != nullptr; ++value) {
                    entry.userNames.push_back(Lower(*value));
                }
            }
        });
    if (searched && started) finishEntry();
    return searched;
}

// The workers one user name stands for in a shared load, and what the load found for it.
struct CZNWorkerImpl::NameLoad {
    std::vector<CZNWorkerImpl::LoadTarget*> targets;
    std::shared_ptr<const zn::LoadedWorker> record;
    // The values outgrew the record (tens of kilobytes): the workers then load by themselves.
    bool overflow = false;
};

void CZNWorkerImpl::TakeForName(NameLoad& load, const FoundEntry& entry) {
    if (!entry.fits) {
        load.overflow = true;
    } else if (!load.record) {
        load.record = entry.record;
    } else {
        // One uid under two branches: the later entry overwrites what it carries, in a record
        // of this name's own, since the entry's may serve other names too.
        auto merged = std::make_shared<zn::LoadedWorker>(*load.record);
        load.overflow = !merged->Overlay(*entry.record) || load.overflow;
        load.record = std::move(merged);
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
        if (searched && load.overflow) {
            worker.LoadWorker();
        } else {
            worker.BeginLoad();
            if (searched && load.record) worker.ApplyRecord(*load.record);
            worker.EndLoad(searcher, searched);
        }
        found += worker.m_loaded != 0 ? 1 : 0;
    }
}

long CZNWorkerImpl::LoadWorkers(std::vector<LoadTarget>& targets,
                                const std::vector<const char*>* attributes) {
    long found = 0;
    // The attributes asked for, with those every load reads, and their record slots.
    std::vector<const char*> asking;
    std::uint32_t asked = zn::LoadedWorker::kAll;
    if (attributes != nullptr) {
        asking = *attributes;
        asking.insert(asking.end(), {"uid", "employeenumber"});
        asked = 1U << kDnSlot;
        for (const char* attribute : asking) asked |= 1U << SlotOf(attribute);
        asking.push_back(nullptr);
    }
    const char* const* requested = attributes != nullptr ? asking.data() : nullptr;
    // The workers a shared search serves, by lower-cased user name, and the names in the
    // order first met.
    std::unordered_map<std::string, NameLoad> byName;
    std::vector<NameLoad*> loads;
    std::vector<std::string> names;
    const CZNDirectoryBase* session = nullptr;
    for (LoadTarget& target : targets) {
        std::string key;
        // A worker in use takes only a whole load, which it makes by itself.
        const bool whole = attributes == nullptr || target.impl == nullptr;
        if (whole && SharedSearchKey(*target.userName, key) &&
            (session == nullptr || target.session->SameSessionAs(*session))) {
            if (session == nullptr) session = target.session;
            NameLoad& load = byName[key];
            if (load.targets.empty()) {
                loads.push_back(&load);
                names.push_back(key);
            }
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
    auto finish = [&](std::size_t first, std::size_t end, bool searched) {
        for (std::size_t i = first; i < end; ++i) FinishName(*loads[i], searcher, searched, found);
    };
    // Each name takes, in the server's order, every entry its own search would have found.
    // A list of most of the company is read in one streamed search of every person; a
    // directory that will not give that many entries at once is asked a few hundred names at
    // a time.
    if (loads.size() >= kWholeDirectoryNames) {
        if (SearchEntries(
                searcher, kEveryPersonFilter, requested, asked,
                [&](const FoundEntry& entry) {
                    for (const std::string& name : entry.userNames) {
                        auto match = byName.find(name);
                        if (match != byName.end()) TakeForName(match->second, entry);
                    }
                },
                /*stream=*/true)) {
            finish(0, loads.size(), true);
            return found;
        }
        // Forget what a search that failed part way handed out.
        for (NameLoad* load : loads) {
            load->record.reset();
            load->overflow = false;
        }
    }
    for (std::size_t first = 0; first < loads.size(); first += kNamesPerSearch) {
        const std::size_t end = std::min(loads.size(), first + kNamesPerSearch);
        std::string filter = "(&(objectclass=organizationalPerson)(|";
        std::unordered_map<std::string, NameLoad*> batch;
        for (std::size_t i = first; i < end; ++i) {
            filter += "(uid=" + zn::EscapeFilterValue(names[i]) + ")";
            batch.emplace(names[i], loads[i]);
        }
        filter += "))";
        const bool searched =
            SearchEntries(searcher, filter, requested, asked, [&](const FoundEntry& entry) {
                for (const std::string& name : entry.userNames) {
                    auto match = batch.find(name);
                    if (match != batch.end()) TakeForName(*match->second, entry);
                }
            });
        finish(first, end, searched);
    }
    return found;
}
