// How people and groups are tied to a group entry, shared by the group and the worker side.
#include "groups/relations.h"

#include "session/format.h"

namespace zn {

const char* FilterAttribute(PersonRelation relation) {
    switch (relation) {
        case PersonRelation::kContact:
            return "contactusername";
        case PersonRelation::kDirectMember:
            return "explicitmember";
        case PersonRelation::kEventualMember:
            return "uniquemember";
        case PersonRelation::kOwner:
            return "owner";
    }
    return "";
}

Holding GroupHoldsDN(CZNDirectoryBase& session, std::list<std::string>& values,
                     const std::string& groupName, const char* attribute, const std::string& dn) {
    values.clear();
    std::string filter;
    if (!session.BuildFilter(filter, "(&(objectclass=groupOfUniqueNames)(cn=%s)(%s=%s))",
                             EscapeFilterValue(groupName).c_str(), attribute,
                             EscapeFilterValue(dn).c_str())) {
        return Holding::kRefused;
    }
    const char* attributes[] = {"cn", nullptr};
    session.CollectValues(filter.c_str(), attributes, values);
    return values.empty() ? Holding::kNo : Holding::kYes;
}

}  // namespace zn
