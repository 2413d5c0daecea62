// The C interface's change records: the number of the last change sent, and change-log
// entries read into their fields.
#include <list>
#include <string>

#include "capi/handles.h"

using zn::capi::ChangeRecord;

namespace {

// The records of lines the class returned; a line of another shape keeps only its text.
const zng_change_list* Records(zng_group* group, const std::list<std::string>& lines) {
    group->changes.records.clear();
    for (const std::string& line : lines) {
        ChangeRecord record;
        zn::capi::ParseChangeRecord(line, record);
        group->changes.records.push_back(std::move(record));
    }
    return &group->changes;
}

const ChangeRecord* At(const zng_change_list* list, size_t index) {
    return list != nullptr && index < list->records.size() ? &list->records[index] : nullptr;
}

const char* Field(const zng_change_list* list, size_t index, std::string ChangeRecord::*field) {
    const ChangeRecord* record = At(list, index);
    return record != nullptr ? (record->*field).c_str() : nullptr;
}

}  // namespace

extern "C" {

long zng_group_get_last_change_number(zng_group* group) {
    return group != nullptr ? group->lastChange : 0;
}

const zng_change_list* zng_group_get_change_records(zng_group* group) {
    if (group == nullptr) return nullptr;
    zn::capi::CallScope<zng_group> scope(group);
    try {
        return Records(group, group->object.GetGroupChangeLogs());
    } catch (...) {
        return nullptr;
    }
}

const zng_change_list* zng_group_get_change_records_of(zng_group* group, const char* groupName) {
    if (group == nullptr) return nullptr;
    zn::capi::CallScope<zng_group> scope(group);
    try {
        return Records(group, group->object.GetGroupChangeLogs(zn::capi::Str(groupName)));
    } catch (...) {
        return nullptr;
    }
}

const zng_change_list* zng_group_get_change_record(zng_group* group, long entryNumber) {
    if (group == nullptr) return nullptr;
    zn::capi::CallScope<zng_group> scope(group);
    try {
        const std::string& entry = group->object.GetChangeLogEntry(entryNumber);
        std::list<std::string> lines;
        if (group->object.GetErrorStatusCode() == 1 && !entry.empty()) lines.push_back(entry);
        return Records(group, lines);
    } catch (...) {
        return nullptr;
    }
}

size_t zng_change_list_count(const zng_change_list* list) {
    return list != nullptr ? list->records.size() : 0;
}

long zng_change_list_number(const zng_change_list* list, size_t index) {
    const ChangeRecord* record = At(list, index);
    return record != nullptr ? record->number : 0;
}

long zng_change_list_code(const zng_change_list* list, size_t index) {
    const ChangeRecord* record = At(list, index);
    return record != nullptr ? record->code : 0;
}

const char* zng_change_list_time(const zng_change_list* list, size_t index) {
    return Field(list, index, &ChangeRecord::time);
}

const char* zng_change_list_requester(const zng_change_list* list, size_t index) {
    return Field(list, index, &ChangeRecord::requester);
}

const char* zng_change_list_kind(const zng_change_list* list, size_t index) {
    return Field(list, index, &ChangeRecord::kind);
}

const char* zng_change_list_group(const zng_change_list* list, size_t index) {
    return Field(list, index, &ChangeRecord::group);
}

const char* zng_change_list_target(const zng_change_list* list, size_t index) {
    return Field(list, index, &ChangeRecord::target);
}

const char* zng_change_list_state(const zng_change_list* list, size_t index) {
    return Field(list, index, &ChangeRecord::state);
}

const char* zng_change_list_line(const zng_change_list* list, size_t index) {
    return Field(list, index, &ChangeRecord::line);
}

}  // extern "C"
