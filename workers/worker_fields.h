// A worker's attributes by the keys the tool's JSON, the C interface and Python name them,
// with a label for people: one table, so that every binding offers the same details.
#pragma once

#include <cstddef>
#include <string>

#include "CZNWorker.h"

namespace zn {

struct WorkerField {
    const char* key;
    const char* label;
    const std::string& (CZNWorker::*getter)() const;
};

inline constexpr WorkerField kWorkerFields[] = {
    {"fullName", "Full name", &CZNWorker::GetFullName},
    {"givenName", "Given name", &CZNWorker::GetGivenName},
    {"surName", "Surname", &CZNWorker::GetSurName},
    {"displayName", "Display name", &CZNWorker::GetDisplayName},
    {"jobTitle", "Job title", &CZNWorker::GetJobTitle},
    {"employeeType", "Employee type", &CZNWorker::GetEmployeeType},
    {"emailAddress", "Email", &CZNWorker::GetEmailAddress},
    {"phoneNumber", "Phone", &CZNWorker::GetPhoneNumber},
    {"faxNumber", "Fax", &CZNWorker::GetFaxNumber},
    {"pagerNumber", "Pager", &CZNWorker::GetPagerNumber},
    {"officeLocation", "Office", &CZNWorker::GetOfficeLocation},
    {"mailStop", "Mail stop", &CZNWorker::GetMailStop},
    {"street", "Street", &CZNWorker::GetStreet},
    {"city", "City", &CZNWorker::GetCity},
    {"state", "State", &CZNWorker::GetState},
    {"zipCode", "Zip code", &CZNWorker::GetZipCode},
    {"country", "Country", &CZNWorker::GetCountry},
    {"companyName", "Company", &CZNWorker::GetCompanyName},
    {"companyNumber", "Company number", &CZNWorker::GetCompanyNumber},
    {"costCenter", "Cost center", &CZNWorker::GetCostCenter},
    {"costCenterDescription", "Cost center text", &CZNWorker::GetCostCenterDescription},
    {"department", "Department", &CZNWorker::GetDepartment},
    {"shiftCode", "Shift code", &CZNWorker::GetShiftCode},
    {"shipToStreet", "Ship-to street", &CZNWorker::GetShipToStreet},
    {"shipToCity", "Ship-to city", &CZNWorker::GetShipToCity},
    {"shipToState", "Ship-to state", &CZNWorker::GetShipToState},
    {"shipToZipCode", "Ship-to zip code", &CZNWorker::GetShipToZipCode},
    {"shipToCountry", "Ship-to country", &CZNWorker::GetShipToCountry},
    {"supervisorUserName", "Supervisor", &CZNWorker::GetSupervisorUserName},
};
inline constexpr std::size_t kWorkerFieldCount = sizeof kWorkerFields / sizeof kWorkerFields[0];

}  // namespace zn
