// Loading a worker's attributes from the directory, and the identity conversions built on it.
#include <cctype>
#include <climits>
#include <cstring>

#include "session/format.h"
#include "session/status_codes.h"
#include "workers/worker_impl.h"

namespace {

namespace status = zn::status;

// Longest user name the directory is asked about; longer names cannot be valid.
constexpr std::size_t kMaxUserNameLength = 51;

constexpr const char* kUserNameFilterFormat = "(&(objectclass=organizationalPerson)(uid=%s))";
constexpr const char* kNumberFilterFormat =
    "(&(objectclass=organizationalPerson)(employeenumber=%ld))";
constexpr const char* kNoIdentityText = "No username or worker number specified.";
constexpr const char* kNoUserNameText = "No username specified.";
constexpr const char* kUserNameTooLongText = "Specified username is not valid.";
constexpr const char* kUnknownUserNameFormat = "%s is not a valid username.";
constexpr const char* kUnknownNumberFormat = "%ld is not a valid worker number.";

// Decimal text to a number the way atoi reads it (leading blanks, a sign, digits up to the
// first other character; no digits give 0), but saturating instead of overflowing.
long ParseWorkerNumber(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text))) {
        ++text;
    }
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    long number = 0;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
        int digit = *text - '0';
        if (negative) {
            number = number < (LONG_MIN + digit) / 10 ? LONG_MIN : number * 10 - digit;
        } else {
            number = number > (LONG_MAX - digit) / 10 ? LONG_MAX : number * 10 + digit;
        }
    }
    return number;
}

// `lower`, a name of the table in lower case, against an attribute name as the server spells
// it. ASCII only, without the locale: every attribute of every entry loaded passes here.
bool EqualsIgnoringCase(const char* lower, const char* name) {
    for (; *lower != '\0'; ++lower, ++name) {
        const char c = *name >= 'A' && *name <= 'Z' ? static_cast<char>(*name - 'A' + 'a') : *name;
        if (c != *lower) {
            return false;
        }
    }
    return *name == '\0';
}

}  // namespace

enum class Conversion { kNone, kWorkerNumber, kNameFromDN };

struct CZNWorkerImpl::AttributeRow {
    const char* name;
    std::string CZNWorkerImpl::*field;
    Conversion conversion;
};

const CZNWorkerImpl::AttributeRow* CZNWorkerImpl::AttributeTable(std::size_t& count) {
    static const AttributeRow kTable[] = {
        {"cn", &CZNWorkerImpl::m_fullName, Conversion::kNone},
        {"l", &CZNWorkerImpl::m_city, Conversion::kNone},
        {"companyname", &CZNWorkerImpl::m_companyName, Conversion::kNone},
        {"companynumber", &CZNWorkerImpl::m_companyNumber, Conversion::kNone},
        {"c", &CZNWorkerImpl::m_country, Conversion::kNone},
        {"departmentnumber", &CZNWorkerImpl::m_costCenter, Conversion::kNone},
        {"businesscategory", &CZNWorkerImpl::m_costCenterDescription, Conversion::kNone},
        {"displayname", &CZNWorkerImpl::m_displayName, Conversion::kNone},
        {"employeenumber", nullptr, Conversion::kWorkerNumber},
        {"employeetype", &CZNWorkerImpl::m_employeeType, Conversion::kNone},
        {"facsimiletelephonenumber", &CZNWorkerImpl::m_faxNumber, Conversion::kNone},
        {"givenname", &CZNWorkerImpl::m_givenName, Conversion::kNone},
        {"mail", &CZNWorkerImpl::m_emailAddress, Conversion::kNone},
        {"mailstop", &CZNWorkerImpl::m_mailStop, Conversion::kNone},
        {"manager", &CZNWorkerImpl::m_supervisorUserName, Conversion::kNameFromDN},
        {"pager", &CZNWorkerImpl::m_pagerNumber, Conversion::kNone},
        {"roomnumber", &CZNWorkerImpl::m_officeLocation, Conversion::kNone},
        {"sn", &CZNWorkerImpl::m_surName, Conversion::kNone},
        {"shiftcode", &CZNWorkerImpl::m_shiftCode, Conversion::kNone},
        {"shiptolocality", &CZNWorkerImpl::m_shipToCity, Conversion::kNone},
        {"shiptocountryname", &CZNWorkerImpl::m_shipToCountry, Conversion::kNone},
        {"shiptostate", &CZNWorkerImpl::m_shipToState, Conversion::kNone},
        {"shiptostreet", &CZNWorkerImpl::m_shipToStreet, Conversion::kNone},
        {"shiptopostalcode", &CZNWorkerImpl::m_shipToZipCode, Conversion::kNone},
        {"st", &CZNWorkerImpl::m_state, Conversion::kNone},
        {"street", &CZNWorkerImpl::m_street, Conversion::kNone},
        {"telephonenumber", &CZNWorkerImpl::m_phoneNumber, Conversion::kNone},
        {"title", &CZNWorkerImpl::m_jobTitle, Conversion::kNone},
        {"uid", &CZNWorkerImpl::m_userName, Conversion::kNone},
        {"postalcode", &CZNWorkerImpl::m_zipCode, Conversion::kNone},
    };
    static_assert(sizeof kTable / sizeof kTable[0] < kDnSlot, "a record slot for each row");
    count = sizeof kTable / sizeof kTable[0];
    return kTable;
}

const CZNWorkerImpl::AttributeRow* CZNWorkerImpl::FindAttributeRow(const char* name) {
    std::size_t count = 0;
    const AttributeRow* table = AttributeTable(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (EqualsIgnoringCase(table[i].name, name)) {
            return &table[i];
        }
    }
    return nullptr;
}

std::size_t CZNWorkerImpl::SlotOf(const char* attribute) {
    std::size_t count = 0;
    const AttributeRow* table = AttributeTable(count);
    const AttributeRow* row = FindAttributeRow(attribute);
    return row != nullptr ? static_cast<std::size_t>(row - table) : kDnSlot;
}

bool CZNWorkerImpl::Record(zn::LoadedWorker& record, const char* name, const char* firstValue) {
    std::size_t count = 0;
    const AttributeRow* table = AttributeTable(count);
    const AttributeRow* row = FindAttributeRow(name);
    if (row == nullptr) {
        return true;
    }
    const std::size_t slot = static_cast<std::size_t>(row - table);
    switch (row->conversion) {
        case Conversion::kNone:
            return record.Set(slot, firstValue);
        case Conversion::kWorkerNumber:
            record.hasNumber = true;
            record.number = ParseWorkerNumber(firstValue);
            return true;
        case Conversion::kNameFromDN:
            return record.Set(slot, *firstValue == '\0' ? "" : NameFromDN(firstValue).c_str());
    }
    return true;
}

void CZNWorkerImpl::TakeRecord(const zn::LoadedWorker& record) {
    // A record of some attributes only leaves the worker to load whole when first asked.
    if (!record.Complete()) {
        return;
    }
    SetErrorStatus(zn::kStatusSuccess, "");
    ClearSearchFailed();
    ClearAttributeFields();
    ApplyRecord(record);
}

void CZNWorkerImpl::ApplyRecord(const zn::LoadedWorker& record) {
    std::size_t count = 0;
    const AttributeRow* table = AttributeTable(count);
    for (std::size_t slot = 0; slot < count; ++slot) {
        if (table[slot].field != nullptr && record.Has(slot)) {
            this->*table[slot].field = record.Value(slot);
        }
    }
    if (record.hasNumber) {
        m_workerNumber = record.number;
    }
    if (record.Has(kDnSlot)) {
        m_workerDN = record.Value(kDnSlot);
        m_dnResolved = 1;
    }
    m_loaded = 1;
}

void CZNWorkerImpl::ClearAttributeFields() {
    for (std::string* field : {&m_fullName,
                               &m_city,
                               &m_companyName,
                               &m_companyNumber,
                               &m_country,
                               &m_costCenter,
                               &m_costCenterDescription,
                               &m_displayName,
                               &m_employeeType,
                               &m_faxNumber,
                               &m_givenName,
                               &m_emailAddress,
                               &m_mailStop,
                               &m_supervisorUserName,
                               &m_pagerNumber,
                               &m_officeLocation,
                               &m_surName,
                               &m_shiftCode,
                               &m_shipToCity,
                               &m_shipToCountry,
                               &m_shipToState,
                               &m_shipToStreet,
                               &m_shipToZipCode,
                               &m_state,
                               &m_street,
                               &m_phoneNumber,
                               &m_jobTitle,
                               &m_zipCode}) {
        field->clear();
    }
}

void CZNWorkerImpl::StoreAttribute(const char* name, const char* firstValue) {
    const AttributeRow* row = FindAttributeRow(name);
    if (row == nullptr) {
        return;
    }
    switch (row->conversion) {
        case Conversion::kNone:
            this->*row->field = firstValue;
            break;
        case Conversion::kWorkerNumber:
            m_workerNumber = ParseWorkerNumber(firstValue);
            break;
        case Conversion::kNameFromDN:
            this->*row->field = *firstValue == '\0' ? std::string() : NameFromDN(firstValue);
            break;
    }
}

std::string CZNWorkerImpl::UserNameFilter() const {
    // The name is the caller's; escaped, a '*' in it cannot stand for every worker.
    return zn::FormatText(kUserNameFilterFormat, zn::EscapeFilterValue(m_userName).c_str());
}

void CZNWorkerImpl::ReportUnknownWorker() {
    if (!m_userName.empty()) {
        SetErrorStatus(status::kInvalidUserName,
                       zn::FormatText(kUnknownUserNameFormat, m_userName.c_str()));
    } else {
        SetErrorStatus(status::kInvalidWorkerNumber,
                       zn::FormatText(kUnknownNumberFormat, m_workerNumber));
    }
}

void CZNWorkerImpl::LoadWorker() {
    SetErrorStatus(zn::kStatusSuccess, "");
    ClearAttributeFields();
    m_loaded = 0;

    std::string filter;
    if (!m_userName.empty() && m_userName.size() <= kMaxUserNameLength) {
        filter = UserNameFilter();
    } else if (m_workerNumber > 0) {
        filter = zn::FormatText(kNumberFilterFormat, m_workerNumber);
    } else if (m_userName.empty()) {
        SetErrorStatus(status::kMissingUserName, kNoIdentityText);
        return;
    } else {
        SetErrorStatus(status::kInvalidUserName, kUserNameTooLongText);
        return;
    }

    // Several entries may answer (one uid under two branches): each later entry overwrites
    // the fields it carries.
    bool searched = SearchAndWalk(
        filter.c_str(), nullptr,
        [this](const char* dn) {
            if (dn != nullptr) {
                m_workerDN = dn;
                m_dnResolved = 1;
            }
            m_loaded = 1;
        },
        [this](const char* name, char** values) {
            if (values != nullptr && values[0] != nullptr) {
                StoreAttribute(name, values[0]);
            }
        });
    if (!searched) {
        return;
    }
    // The connection attempt left the library's description of success; a load that found
    // the worker reports plain success.
    if (m_loaded != 0) {
        SetErrorStatus(zn::kStatusSuccess, "");
    } else {
        ReportUnknownWorker();
    }
}

void CZNWorkerImpl::ResolveWorkerDN() {
    if (m_dnResolved != 0) {
        return;
    }
    m_workerDN.clear();
    ClearSearchFailed();
    if (m_userName.empty()) {
        SetErrorStatus(status::kMissingUserName, kNoUserNameText);
        return;
    }
    if (m_userName.size() > kMaxUserNameLength) {
        SetErrorStatus(status::kInvalidUserName, kUserNameTooLongText);
        return;
    }
    const char* attributes[] = {"uid", nullptr};
    std::string filter = UserNameFilter();
    bool searched = SearchAndWalk(
        filter.c_str(), attributes,
        [this](const char* dn) {
            if (dn != nullptr) {
                m_workerDN = dn;
                m_dnResolved = 1;
            }
        },
        [](const char*, char**) {});
    if (!searched) {
        return;
    }
    if (m_dnResolved != 0) {
        SetErrorStatus(zn::kStatusSuccess, "");
    } else {
        SetErrorStatus(status::kInvalidUserName,
                       zn::FormatText(kUnknownUserNameFormat, m_userName.c_str()));
    }
}

const std::string& CZNWorkerImpl::Loaded(const std::string& field) {
    if (m_loaded == 0) {
        LoadWorker();
    }
    return field;
}

const std::string& CZNWorkerImpl::GetUserNameA() {
    if (m_loaded == 0) {
        LoadWorker();
    }
    if (m_loaded == 0) {
        // Reported as an unknown number even when the worker was named by user name.
        SetErrorStatus(status::kInvalidWorkerNumber,
                       zn::FormatText(kUnknownNumberFormat, m_workerNumber));
    }
    return m_userName;
}

long CZNWorkerImpl::GetWorkerNumber() {
    if (m_loaded == 0) {
        LoadWorker();
    }
    if (m_loaded == 0) {
        SetErrorStatus(status::kInvalidUserName,
                       zn::FormatText(kUnknownUserNameFormat, m_userName.c_str()));
    }
    return m_workerNumber;
}

long CZNWorkerImpl::IsValidWorker() {
    LoadWorker();
    if (m_loaded != 0) {
        return 1;
    }
    // A directory that could not be asked keeps the load's reason.
    if (GetLdapResultCode() != 0) {
        return 0;
    }
    ReportUnknownWorker();
    return 0;
}

const std::string& CZNWorkerImpl::GetWorkerDN() {
    ResolveWorkerDN();
    return m_workerDN;
}
