// How people and groups are tied to a group entry, shared by the group and the worker side.
#pragma once

#include <list>
#include <string>

#include "session/directory_base.h"

namespace zn {

// The group attributes that hold a person's DN, as filters name them.
enum class PersonRelation { kContact, kDirectMember, kEventualMember, kOwner };
const char* FilterAttribute(PersonRelation relation);

enum class Holding {
    kYes,
    kNo,       // also when the search failed: session.LastSearchFailed() tells
    kRefused,  // the filter would not fit; nothing was searched, the status says so
};

// Whether the group named `groupName` holds `dn` in `attribute` (a person relation's filter
// attribute, "SubGroup" or "SuperGroup"). Both values are escaped, so a name or DN given by
// a caller matches only itself. The group's "cn" values land in `values`.
Holding GroupHoldsDN(CZNDirectoryBase& session, std::list<std::string>& values,
                     const std::string& groupName, const char* attribute, const std::string& dn);

}  // namespace zn
