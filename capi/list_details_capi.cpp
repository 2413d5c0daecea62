// The details of listed workers and groups, read together and then given by key.
#include <cstring>
#include <list>

#include "capi/handles.h"
#include "workers/worker_fields.h"

namespace {

template <typename Function, typename Result>
Result Guarded(Function&& function, Result failed) {
    try {
        return function();
    } catch (...) {
        return failed;
    }
}

const char* WorkerDetail(const zng_worker_list& list, std::size_t index, const char* key) {
    const CZNWorker* worker = list.At(index);
    if (worker == nullptr || key == nullptr) return nullptr;
    for (const zn::WorkerField& field : zn::kWorkerFields) {
        if (std::strcmp(key, field.key) == 0) return (worker->*field.getter)().c_str();
    }
    if (std::strcmp(key, "dn") == 0) return worker->GetWorkerDN().c_str();
    if (std::strcmp(key, "workerNumber") == 0) {
        return list.KeepText(index, std::to_string(worker->GetWorkerNumber()));
    }
    return nullptr;
}

const char* GroupDetail(const zng_group_list& list, std::size_t index, const char* key) {
    const CZNGroup* group = list.At(index);
    if (group == nullptr || key == nullptr) return nullptr;
    if (std::strcmp(key, "description") == 0) return group->GetDescription().c_str();
    if (std::strcmp(key, "companyNumber") == 0) return group->GetCompanyNumber().c_str();
    if (std::strcmp(key, "organizationalUnit") == 0) {
        return group->GetOrganizationalUnit().c_str();
    }
    if (std::strcmp(key, "mailAliased") == 0) {
        const long flag = group->GetMailAliasedFlag();
        return list.KeepText(index, flag > 0 ? std::string(1, static_cast<char>(flag)) : "");
    }
    return nullptr;
}

template <typename List>
long StatusCode(const List* list, std::size_t index) {
    const auto* element = list != nullptr ? list->At(index) : nullptr;
    return element != nullptr ? element->GetErrorStatusCode() : 0;
}

template <typename List>
const char* StatusText(const List* list, std::size_t index) {
    const auto* element = list != nullptr ? list->At(index) : nullptr;
    return element != nullptr ? element->GetErrorStatusText().c_str() : nullptr;
}

}  // namespace

extern "C" {

long zng_worker_list_load(const zng_worker_list* list) {
    return Guarded([&] { return list != nullptr ? CZNWorker::LoadWorkers(*list->Source()) : 0L; },
                   0L);
}

long zng_group_list_load(const zng_group_list* list) {
    return Guarded([&] { return list != nullptr ? CZNGroup::LoadGroups(*list->Source()) : 0L; },
                   0L);
}

const char* zng_worker_list_detail(const zng_worker_list* list, size_t index, const char* key) {
    return Guarded([&] { return list != nullptr ? WorkerDetail(*list, index, key) : nullptr; },
                   static_cast<const char*>(nullptr));
}

const char* zng_group_list_detail(const zng_group_list* list, size_t index, const char* key) {
    return Guarded([&] { return list != nullptr ? GroupDetail(*list, index, key) : nullptr; },
                   static_cast<const char*>(nullptr));
}

long zng_worker_list_status_code(const zng_worker_list* list, size_t index) {
    return Guarded([&] { return StatusCode(list, index); }, 0L);
}

const char* zng_worker_list_status_text(const zng_worker_list* list, size_t index) {
    return Guarded([&] { return StatusText(list, index); }, static_cast<const char*>(nullptr));
}

long zng_group_list_status_code(const zng_group_list* list, size_t index) {
    return Guarded([&] { return StatusCode(list, index); }, 0L);
}

const char* zng_group_list_status_text(const zng_group_list* list, size_t index) {
    return Guarded([&] { return StatusText(list, index); }, static_cast<const char*>(nullptr));
}

}  // extern "C"
