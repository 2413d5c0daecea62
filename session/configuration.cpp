// The domain lookups groups and workers share: the list of domains, the domain check, the
// domain's administration port, and moving an object to another domain.
#include <cstdlib>
#include <cstring>

#include "session/directory_base.h"
#include "session/format.h"
#include "session/status_codes.h"

namespace zn {
namespace {

constexpr const char* kDomainsFilter = "(&(objectclass=groupOfNames)(cn=Domains))";
constexpr const char* kDomainFilterFormat = "(&(objectclass=groupOfNames)(cn=Domains)(member=%s))";
constexpr const char* kDomainPortsFilter = "(&(objectclass=groupOfNames)(cn=DomainPorts))";
constexpr const char* kInvalidDomainFormat = "%s is not a valid domain.";

const char* const kMemberAttribute[] = {"member", nullptr};
const char* const kCnAttribute[] = {"cn", nullptr};

// A DomainPorts value "DOMAIN:port" split as strtok splits at ':': separators before the
// domain are skipped, the port runs to the next ':'.
struct PortValue {
    std::string domain;
    bool hasPort = false;
    long port = 0;
};

PortValue SplitPortValue(const std::string& value) {
    PortValue split;
    std::size_t start = value.find_first_not_of(':');
    if (start == std::string::npos) {
        return split;
    }
    std::size_t end = value.find(':', start);
    split.domain = value.substr(start, end - start);
    if (end == std::string::npos) {
        return split;
    }
    std::size_t portStart = value.find_first_not_of(':', end);
    if (portStart == std::string::npos) {
        return split;
    }
    std::string port = value.substr(portStart, value.find(':', portStart) - portStart);
    split.hasPort = true;
    split.port = std::atoi(port.c_str());
    return split;
}

}  // namespace

void CZNDirectoryBase::ReadDomains(std::list<std::string>& values,
                                   std::list<std::string>& domains) {
    values.clear();
    CollectValues(kDomainsFilter, kMemberAttribute, values);
    domains = values;
}

long CZNDirectoryBase::CheckDomain(const char* domain, std::list<std::string>& values) {
    if (domain == nullptr || *domain == '\0') {
        return 1;
    }
    std::string filter;
    if (!BuildFilter(filter, kDomainFilterFormat, EscapeFilterValue(domain).c_str())) {
        return 0;
    }
    CollectValues(filter.c_str(), kCnAttribute, values);
    if (values.empty()) {
        SetErrorStatus(status::kInvalidDomain, FormatText(kInvalidDomainFormat, domain));
        return 0;
    }
    SetErrorStatus(kStatusSuccess, "");
    return 1;
}

long CZNDirectoryBase::LookUpDomainPort(const char* domain, std::list<std::string>& values) {
    long port = kDefaultAdministrationPort;
    if (domain == nullptr || *domain == '\0') {
        return port;
    }
    values.clear();
    CollectValues(kDomainPortsFilter, kMemberAttribute, values);
    // A value naming exactly this domain decides; only without one does a value that merely
    // contains the domain's text (ASIA in ASIA2:60662) lend its port. Among equals the later
    // value wins, and a value without a port leaves the port as it was.
    bool exact = false;
    for (const std::string& value : values) {
        if (value.find(domain) == std::string::npos) {
            continue;
        }
        PortValue split = SplitPortValue(value);
        bool isExact = split.domain == domain;
        if (exact && !isExact) {
            continue;
        }
        if (isExact && !exact) {
            exact = true;
            port = kDefaultAdministrationPort;
        }
        if (split.hasPort) {
            port = split.port;
        }
    }
    return port;
}

long CZNDirectoryBase::SwitchDomain(const char* domain, std::list<std::string>& values) {
    if (domain == nullptr) {
        domain = "";
    }
    if (CheckDomain(domain, values) == 0) {
        return 0;
    }
    return SetDomainAndPort(domain, LookUpDomainPort(domain, values));
}

}  // namespace zn
