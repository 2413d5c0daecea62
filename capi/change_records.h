// Change-log lines as records, and the number of the change an answer names: what a C caller
// would otherwise take out of texts with sscanf.
#pragma once

#include <string>
#include <vector>

namespace zn::capi {

struct ChangeRecord {
    long number = 0;
    long code = 0;  // 1 applied, 2 pending, else the code that rejected it
    std::string time;
    std::string requester;
    std::string kind;
    std::string group;
    std::string target;
    std::string state;
    std::string line;
};

// The number in an administration server's answer to a change ("Change 17 applied.",
// "Change 17 is pending: ..."); 0 for any other text.
long ChangeNumberIn(const std::string& text);

// One line of a change log, "Change 17 2026-12-07T09:27:44Z ASMITH ADD MEMBER ENG-ALUMNI
// EGRAY applied" (a rejection ends "rejected 30026"). False, leaving only the line, when the
// line does not have that shape.
bool ParseChangeRecord(const std::string& line, ChangeRecord& record);

}  // namespace zn::capi

struct zng_change_list {
    std::vector<zn::capi::ChangeRecord> records;
};
