// A directory object that reports usage, copied the way the group and worker objects copy.
#pragma once

#include <string>

#include "session/directory_base.h"

namespace zntest {

class ReportingObject : public zn::CZNDirectoryBase {
  public:
    ReportingObject() = default;
    // The object's own members are copied; the base is built afresh, caches and reported
    // names included.
    ReportingObject(const ReportingObject& other)
        : zn::CZNDirectoryBase(nullptr), m_groupName(other.m_groupName) {}

    void SetGroupName(const std::string& name) { m_groupName = name; }
    void Report(const char* function) { SendUsageReport("ZNGroup", function, m_groupName.c_str()); }

    const std::string& ApplicationName() const { return m_applicationName; }
    std::size_t ReportedNames() const { return m_reportedNames.size(); }

  private:
    std::string m_groupName;
};

// The value of one field of a usage report text, or "<missing>".
inline std::string FieldOf(const std::string& text, const std::string& name) {
    const std::string start = " " + name + "=\"";
    std::size_t at = text.find(start);
    if (at == std::string::npos) return "<missing>";
    at += start.size();
    return text.substr(at, text.find('"', at) - at);
}

}  // namespace zntest
