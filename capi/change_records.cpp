// Reading change-log lines and change answers of the administration server into numbers and
// fields.
#include "capi/change_records.h"

#include <cstdlib>
#include <sstream>
#include <utility>

#include "admin/change_request.h"

namespace zn::capi {
namespace {

constexpr const char* kChangeWord = "Change";
constexpr const char* kApplied = "applied";
constexpr const char* kPending = "pending";
constexpr const char* kRejected = "rejected";
constexpr long kAppliedCode = 1;
constexpr long kPendingCode = 2;
// Kinds the server writes for its own repairs, beside the names of the change requests.
const char* const kRepairKinds[] = {"REPAIR HALF LINK", "REPAIR EVENTUAL MEMBERS"};

bool ParseNumber(const std::string& text, long& number) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    char* end = nullptr;
    number = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' && number > 0;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// How many words from `first` on spell a known kind, the longest that fits; 0 for none.
std::size_t KindLength(const std::vector<std::string>& words, std::size_t first, std::size_t end) {
    std::vector<std::string> kinds(std::begin(kRepairKinds), std::end(kRepairKinds));
    for (int kind = kFirstChangeRequest; kind <= kLastChangeRequest; ++kind) {
        kinds.push_back(RequestName(static_cast<ChangeRequest>(kind)));
    }
    std::size_t longest = 0;
    for (const std::string& kind : kinds) {
        const std::vector<std::string> kindWords = Words(kind);
        if (kindWords.size() <= longest || first + kindWords.size() > end) continue;
        bool same = true;
        for (std::size_t i = 0; same && i < kindWords.size(); ++i) {
            same = words[first + i] == kindWords[i];
        }
        if (same) longest = kindWords.size();
    }
    return longest;
}

std::string Joined(const std::vector<std::string>& words, std::size_t first, std::size_t end) {
    std::string text;
    for (std::size_t i = first; i < end; ++i) text += (i > first ? " " : "") + words[i];
    return text;
}

bool ParseFields(ChangeRecord& record) {
    const std::vector<std::string> words = Words(record.line);
    // Change, number, time, requester, a kind, the group and the state at the least.
    if (words.size() < 7 || words[0] != kChangeWord || !ParseNumber(words[1], record.number)) {
        return false;
    }
    std::size_t end = words.size() - 1;
    if (words[end] == kApplied || words[end] == kPending) {
        record.code = words[end] == kApplied ? kAppliedCode : kPendingCode;
    } else if (words[end - 1] == kRejected && ParseNumber(words[end], record.code)) {
        --end;
    } else {
        return false;
    }
    record.state = words[end];
    const std::size_t kind = KindLength(words, 4, end - 1);
    if (kind == 0) return false;
    record.time = words[2];
    record.requester = words[3];
    record.kind = Joined(words, 4, 4 + kind);
    record.group = words[4 + kind];
    record.target = Joined(words, 5 + kind, end);
    return true;
}

}  // namespace

long ChangeNumberIn(const std::string& text) {
    const std::vector<std::string> words = Words(text.substr(0, text.find_first_of(".:")));
    long number = 0;
    if (words.size() < 2 || words[0] != kChangeWord || !ParseNumber(words[1], number)) return 0;
    return number;
}

bool ParseChangeRecord(const std::string& line, ChangeRecord& record) {
    record = ChangeRecord{};
    record.line = line;
    ChangeRecord parsed;
    parsed.line = line;
    if (!ParseFields(parsed)) return false;
    record = std::move(parsed);
    return true;
}

}  // namespace zn::capi
