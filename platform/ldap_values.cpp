// Reading an entry's values through the copying calls, for back ends that have nothing else.
#include <cstring>
#include <vector>

#include "platform/ldap_client.h"

namespace zn::ldapapi {

void VisitValuesByCopy(Handle* handle, Message* entry, AttributeVisit visit, void* context) {
    BerElement* position = nullptr;
    std::vector<ValueView> views;
    for (char* name = FirstAttribute(handle, entry, &position); name != nullptr;
         name = NextAttribute(handle, entry, position)) {
        char** values = GetValues(handle, entry, name);
        views.clear();
        for (char** value = values; value != nullptr && *value != nullptr; ++value) {
            views.push_back({*value, std::strlen(*value)});
        }
        if (!views.empty()) visit(context, {name, std::strlen(name)}, views.data(), views.size());
        MemFree(name);
        ValueFree(values);
    }
    if (position != nullptr) BerFree(position);
}

}  // namespace zn::ldapapi
