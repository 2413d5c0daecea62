// The structures behind the C interface's opaque handles, and the one way every C function
// calls into a class: exceptions stopped, results borrowed from the object.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "CZNGroup.h"
#include "CZNWorker.h"
#include "capi/change_records.h"
#include "zngroups.h"

namespace zn::capi {

// A C list over one result list of an object. std::list has no indexed access, so the list
// is indexed once and again only after a call on the handle, which may have rewritten it:
// a loop over the elements costs one walk, not one per element.
template <typename Element>
class ListView {
  public:
    explicit ListView(const std::list<Element>& source) : m_source(&source) {}
    const std::list<Element>* Source() const { return m_source; }
    void MarkStale() { m_stale = true; }

    std::size_t Count() const {
        Refresh();
        return m_index.size();
    }
    const Element* At(std::size_t index) const {
        Refresh();
        return index < m_index.size() ? m_index[index] : nullptr;
    }
    // Text of a detail the element gives as a number, kept per element until the same
    // element is asked again or the list is rewritten.
    const char* KeepText(std::size_t index, std::string text) const {
        return (m_kept[index] = std::move(text)).c_str();
    }

  private:
    void Refresh() const {
        if (!m_stale) return;
        m_index.clear();
        m_kept.clear();
        m_index.reserve(m_source->size());
        for (const Element& element : *m_source) m_index.push_back(&element);
        m_stale = false;
    }

    const std::list<Element>* m_source;
    mutable std::vector<const Element*> m_index;
    mutable std::unordered_map<std::size_t, std::string> m_kept;
    mutable bool m_stale = true;
};

// The lists a handle has handed out, one per result list of its object, so that a list
// returned twice is the same pointer, as the class returns the same reference.
template <typename View>
class Views {
  public:
    template <typename Element>
    const View* For(const std::list<Element>& source) {
        for (const auto& view : m_views) {
            if (view->Source() == &source) return view.get();
        }
        m_views.push_back(std::make_unique<View>(source));
        return m_views.back().get();
    }
    void MarkStale() {
        for (const auto& view : m_views) view->MarkStale();
    }
    // After an assignment the object's lists are new ones.
    void Clear() { m_views.clear(); }

  private:
    std::vector<std::unique_ptr<View>> m_views;
};

}  // namespace zn::capi

struct zng_group_list : zn::capi::ListView<CZNGroup> {
    using ListView::ListView;
};
struct zng_worker_list : zn::capi::ListView<CZNWorker> {
    using ListView::ListView;
};
struct zng_string_list : zn::capi::ListView<std::string> {
    using ListView::ListView;
};

// What a handle holds beside its object: the lists it handed out.
struct zng_handle_lists {
    zn::capi::Views<zng_group_list> groups;
    zn::capi::Views<zng_worker_list> workers;
    zn::capi::Views<zng_string_list> strings;

    void MarkStale() {
        groups.MarkStale();
        workers.MarkStale();
        strings.MarkStale();
    }
    void Clear() {
        groups.Clear();
        workers.Clear();
        strings.Clear();
    }
};

struct zng_group {
    CZNGroup object;
    zng_handle_lists lists;
    // Kept by the C interface beside the object: the change records last read, and the number
    // the administration server gave the last change sent.
    zng_change_list changes;
    long lastChange;
};

struct zng_worker {
    CZNWorker object;
    zng_handle_lists lists;
};

namespace zn::capi {

inline std::string Str(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}

// Every call may rewrite any list of the object (several queries share one), so every call
// leaves the handed-out lists to be indexed again.
template <typename Handle>
class CallScope {
  public:
    explicit CallScope(Handle* handle) : m_handle(handle) {}
    ~CallScope() { m_handle->lists.MarkStale(); }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

  private:
    Handle* m_handle;
};

// The methods do not throw but for memory running out; a C caller gets the empty result.
template <typename Handle, typename Call>
long Number(Handle* handle, Call call) noexcept {
    if (handle == nullptr) return 0;
    CallScope<Handle> scope(handle);
    try {
        return call(std::as_const(handle->object));
    } catch (...) {
        return 0;
    }
}

// A change: the method's result, and the number the administration server's answer names,
// kept for zng_group_get_last_change_number (0 when the change was refused or not sent).
template <typename Call>
long Change(zng_group* group, Call call) noexcept {
    if (group == nullptr) return 0;
    group->lastChange = 0;
    const long result = Number(group, call);
    if (result == 1) {
        try {
            group->lastChange = ChangeNumberIn(group->object.GetErrorStatusText());
        } catch (...) {
        }
    }
    return result;
}

template <typename Handle, typename Call>
void Do(Handle* handle, Call call) noexcept {
    if (handle == nullptr) return;
    CallScope<Handle> scope(handle);
    try {
        call(std::as_const(handle->object));
    } catch (...) {
    }
}

template <typename Handle, typename Call>
const char* Text(Handle* handle, Call call) noexcept {
    static_assert(std::is_reference_v<decltype(call(std::as_const(handle->object)))>,
                  "the text must be the object's own, not a temporary");
    if (handle == nullptr) return "";
    CallScope<Handle> scope(handle);
    try {
        return call(std::as_const(handle->object)).c_str();
    } catch (...) {
        return "";
    }
}

// A list is returned even when the call failed, as the class returns its (empty) member;
// only a failure to make the view itself gives NULL.
template <typename View, typename Handle, typename Call>
const View* List(Handle* handle, Views<View>& views, Call call) noexcept {
    static_assert(std::is_reference_v<decltype(call(std::as_const(handle->object)))>,
                  "the list must be the object's own, not a temporary");
    if (handle == nullptr) return nullptr;
    CallScope<Handle> scope(handle);
    try {
        return views.For(call(std::as_const(handle->object)));
    } catch (...) {
        return nullptr;
    }
}

template <typename Handle, typename Call>
const zng_group_list* Groups(Handle* handle, Call call) noexcept {
    return handle == nullptr ? nullptr : List(handle, handle->lists.groups, call);
}

template <typename Handle, typename Call>
const zng_worker_list* Workers(Handle* handle, Call call) noexcept {
    return handle == nullptr ? nullptr : List(handle, handle->lists.workers, call);
}

template <typename Handle, typename Call>
const zng_string_list* Strings(Handle* handle, Call call) noexcept {
    return handle == nullptr ? nullptr : List(handle, handle->lists.strings, call);
}

}  // namespace zn::capi
