// The C interface's lists: counts, names by index without a directory search, and handles
// of the elements' own.
#include "capi/handles.h"

extern "C" {

size_t zng_group_list_count(const zng_group_list* list) {
    try {
        return list != nullptr ? list->Count() : 0;
    } catch (...) {
        return 0;
    }
}

const char* zng_group_list_name(const zng_group_list* list, size_t index) {
    try {
        const CZNGroup* group = list != nullptr ? list->At(index) : nullptr;
        return group != nullptr ? group->GetGroupName().c_str() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

zng_group* zng_group_list_new_group(const zng_group_list* list, size_t index) {
    try {
        const CZNGroup* group = list != nullptr ? list->At(index) : nullptr;
        return group != nullptr ? new zng_group{CZNGroup(*group), {}, {}, 0} : nullptr;
    } catch (...) {
        return nullptr;
    }
}

size_t zng_worker_list_count(const zng_worker_list* list) {
    try {
        return list != nullptr ? list->Count() : 0;
    } catch (...) {
        return 0;
    }
}

const char* zng_worker_list_name(const zng_worker_list* list, size_t index) {
    try {
        const CZNWorker* worker = list != nullptr ? list->At(index) : nullptr;
        return worker != nullptr ? worker->GetName().c_str() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

zng_worker* zng_worker_list_new_worker(const zng_worker_list* list, size_t index) {
    try {
        const CZNWorker* worker = list != nullptr ? list->At(index) : nullptr;
        return worker != nullptr ? new zng_worker{CZNWorker(*worker), {}} : nullptr;
    } catch (...) {
        return nullptr;
    }
}

size_t zng_string_list_count(const zng_string_list* list) {
    try {
        return list != nullptr ? list->Count() : 0;
    } catch (...) {
        return 0;
    }
}

const char* zng_string_list_at(const zng_string_list* list, size_t index) {
    try {
        const std::string* text = list != nullptr ? list->At(index) : nullptr;
        return text != nullptr ? text->c_str() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

}  // extern "C"
