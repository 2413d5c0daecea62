// The C interface's worker handles and functions: each function is one method of CZNWorker.
#include <new>
#include <utility>

#include "capi/handles.h"

using zn::capi::Do;
using zn::capi::Groups;
using zn::capi::Number;
using zn::capi::Str;
using zn::capi::Strings;
using zn::capi::Text;
using zn::capi::Workers;

extern "C" {

zng_worker* zng_worker_new(void) {
    try {
        return new zng_worker{CZNWorker(), {}};
    } catch (...) {
        return nullptr;
    }
}

zng_worker* zng_worker_new_named(const char* userName) {
    try {
        return new zng_worker{CZNWorker(Str(userName)), {}};
    } catch (...) {
        return nullptr;
    }
}

zng_worker* zng_worker_new_numbered(long workerNumber) {
    try {
        return new zng_worker{CZNWorker(workerNumber), {}};
    } catch (...) {
        return nullptr;
    }
}

zng_worker* zng_worker_copy(const zng_worker* other) {
    if (other == nullptr) return nullptr;
    try {
        return new zng_worker{CZNWorker(other->object), {}};
    } catch (...) {
        return nullptr;
    }
}

void zng_worker_assign(zng_worker* worker, const zng_worker* other) {
    if (worker == nullptr || other == nullptr || worker == other) return;
    worker->lists.Clear();
    try {
        worker->object = other->object;
    } catch (...) {
    }
}

void zng_worker_free(zng_worker* worker) {
    delete worker;
}

const char* zng_worker_get_city(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetCity(); });
}

const char* zng_worker_get_city_of(zng_worker* worker, const char* userName) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetCity(Str(userName)); });
}

const char* zng_worker_get_company_name(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetCompanyName(); });
}

const char* zng_worker_get_company_name_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetCompanyName(Str(userName));
    });
}

const char* zng_worker_get_company_number(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetCompanyNumber(); });
}

const char* zng_worker_get_company_number_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetCompanyNumber(Str(userName));
    });
}

const char* zng_worker_get_cost_center(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetCostCenter(); });
}

const char* zng_worker_get_cost_center_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetCostCenter(Str(userName));
    });
}

const char* zng_worker_get_cost_center_description(zng_worker* worker) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetCostCenterDescription(); });
}

const char* zng_worker_get_cost_center_description_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetCostCenterDescription(Str(userName));
    });
}

const char* zng_worker_get_country(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetCountry(); });
}

const char* zng_worker_get_country_of(zng_worker* worker, const char* userName) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetCountry(Str(userName)); });
}

const char* zng_worker_get_department(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetDepartment(); });
}

const char* zng_worker_get_department_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetDepartment(Str(userName));
    });
}

const char* zng_worker_get_display_name(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetDisplayName(); });
}

const char* zng_worker_get_display_name_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetDisplayName(Str(userName));
    });
}

const char* zng_worker_get_email_address(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetEmailAddress(); });
}

const char* zng_worker_get_email_address_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetEmailAddress(Str(userName));
    });
}

const char* zng_worker_get_employee_type(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetEmployeeType(); });
}

const char* zng_worker_get_employee_type_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetEmployeeType(Str(userName));
    });
}

const char* zng_worker_get_fax_number(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetFaxNumber(); });
}

const char* zng_worker_get_fax_number_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetFaxNumber(Str(userName));
    });
}

const char* zng_worker_get_full_name(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetFullName(); });
}

const char* zng_worker_get_full_name_of(zng_worker* worker, const char* userName) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetFullName(Str(userName)); });
}

const char* zng_worker_get_given_name(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetGivenName(); });
}

const char* zng_worker_get_given_name_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetGivenName(Str(userName));
    });
}

const char* zng_worker_get_job_title(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetJobTitle(); });
}

const char* zng_worker_get_job_title_of(zng_worker* worker, const char* userName) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetJobTitle(Str(userName)); });
}

const char* zng_worker_get_mail_stop(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetMailStop(); });
}

const char* zng_worker_get_mail_stop_of(zng_worker* worker, const char* userName) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetMailStop(Str(userName)); });
}

const char* zng_worker_get_office_location(zng_worker* worker) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetOfficeLocation(); });
}

const char* zng_worker_get_office_location_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetOfficeLocation(Str(userName));
    });
}

const char* zng_worker_get_pager_number(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetPagerNumber(); });
}

const char* zng_worker_get_pager_number_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetPagerNumber(Str(userName));
    });
}

const char* zng_worker_get_phone_number(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetPhoneNumber(); });
}

const char* zng_worker_get_phone_number_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetPhoneNumber(Str(userName));
    });
}

const char* zng_worker_get_shift_code(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetShiftCode(); });
}

const char* zng_worker_get_shift_code_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetShiftCode(Str(userName));
    });
}

const char* zng_worker_get_ship_to_city(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetShipToCity(); });
}

const char* zng_worker_get_ship_to_city_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetShipToCity(Str(userName));
    });
}

const char* zng_worker_get_ship_to_country(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetShipToCountry(); });
}

const char* zng_worker_get_ship_to_country_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetShipToCountry(Str(userName));
    });
}

const char* zng_worker_get_ship_to_state(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetShipToState(); });
}

const char* zng_worker_get_ship_to_state_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetShipToState(Str(userName));
    });
}

const char* zng_worker_get_ship_to_street(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetShipToStreet(); });
}

const char* zng_worker_get_ship_to_street_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetShipToStreet(Str(userName));
    });
}

const char* zng_worker_get_ship_to_zip_code(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetShipToZipCode(); });
}

const char* zng_worker_get_ship_to_zip_code_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetShipToZipCode(Str(userName));
    });
}

const char* zng_worker_get_state(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetState(); });
}

const char* zng_worker_get_state_of(zng_worker* worker, const char* userName) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetState(Str(userName)); });
}

const char* zng_worker_get_street(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetStreet(); });
}

const char* zng_worker_get_street_of(zng_worker* worker, const char* userName) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetStreet(Str(userName)); });
}

const char* zng_worker_get_supervisor_user_name(zng_worker* worker) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetSupervisorUserName(); });
}

const char* zng_worker_get_supervisor_user_name_of(zng_worker* worker, const char* userName) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetSupervisorUserName(Str(userName));
    });
}

const char* zng_worker_get_surname(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetSurName(); });
}

const char* zng_worker_get_surname_of(zng_worker* worker, const char* userName) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetSurName(Str(userName)); });
}

const char* zng_worker_get_zip_code(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetZipCode(); });
}

const char* zng_worker_get_zip_code_of(zng_worker* worker, const char* userName) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetZipCode(Str(userName)); });
}

const char* zng_worker_get_user_name(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetUserNameA(); });
}

const char* zng_worker_get_user_name_numbered(zng_worker* worker, long workerNumber) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetUserNameA(workerNumber); });
}

long zng_worker_get_worker_number(zng_worker* worker) {
    return Number(worker, [&](const CZNWorker& o) { return o.GetWorkerNumber(); });
}

long zng_worker_get_worker_number_of(zng_worker* worker, const char* userName) {
    return Number(worker, [&](const CZNWorker& o) { return o.GetWorkerNumber(Str(userName)); });
}

long zng_worker_is_valid_worker(zng_worker* worker) {
    return Number(worker, [&](const CZNWorker& o) { return o.IsValidWorker(); });
}

long zng_worker_is_valid_worker_numbered(zng_worker* worker, long workerNumber) {
    return Number(worker, [&](const CZNWorker& o) { return o.IsValidWorker(workerNumber); });
}

long zng_worker_is_valid_worker_of(zng_worker* worker, const char* userName) {
    return Number(worker, [&](const CZNWorker& o) { return o.IsValidWorker(Str(userName)); });
}

const char* zng_worker_get_worker_d_n(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetWorkerDN(); });
}

const char* zng_worker_get_worker_d_n_of(zng_worker* worker, const char* userName) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetWorkerDN(Str(userName)); });
}

void zng_worker_set_user_name(zng_worker* worker, const char* userName) {
    return Do(worker, [&](const CZNWorker& o) { return o.SetUserName(Str(userName)); });
}

const char* zng_worker_get_name(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetName(); });
}

const zng_worker_list* zng_worker_find_workers(zng_worker* worker, const char* searchString) {
    return Workers(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.FindWorkers(Str(searchString));
    });
}

const zng_worker_list* zng_worker_find_workers_by_first_name(zng_worker* worker,
                                                             const char* searchString) {
    return Workers(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.FindWorkersByFirstName(Str(searchString));
    });
}

const zng_worker_list* zng_worker_find_workers_by_last_name(zng_worker* worker,
                                                            const char* searchString) {
    return Workers(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.FindWorkersByLastName(Str(searchString));
    });
}

const zng_group_list* zng_worker_get_contact_groups(zng_worker* worker) {
    return Groups(worker,
                  [&](const CZNWorker& o) -> decltype(auto) { return o.GetContactGroups(); });
}

const zng_group_list* zng_worker_get_contact_groups_of(zng_worker* worker, const char* userName) {
    return Groups(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetContactGroups(Str(userName));
    });
}

const zng_group_list* zng_worker_get_direct_groups(zng_worker* worker) {
    return Groups(worker,
                  [&](const CZNWorker& o) -> decltype(auto) { return o.GetDirectGroups(); });
}

const zng_group_list* zng_worker_get_direct_groups_of(zng_worker* worker, const char* userName) {
    return Groups(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetDirectGroups(Str(userName));
    });
}

const zng_group_list* zng_worker_get_eventual_groups(zng_worker* worker) {
    return Groups(worker,
                  [&](const CZNWorker& o) -> decltype(auto) { return o.GetEventualGroups(); });
}

const zng_group_list* zng_worker_get_eventual_groups_of(zng_worker* worker, const char* userName) {
    return Groups(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetEventualGroups(Str(userName));
    });
}

const zng_group_list* zng_worker_get_owner_groups(zng_worker* worker) {
    return Groups(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetOwnerGroups(); });
}

const zng_group_list* zng_worker_get_owner_groups_of(zng_worker* worker, const char* userName) {
    return Groups(worker, [&](const CZNWorker& o) -> decltype(auto) {
        return o.GetOwnerGroups(Str(userName));
    });
}

long zng_worker_is_valid_contact_group(zng_worker* worker, const char* groupName) {
    return Number(worker,
                  [&](const CZNWorker& o) { return o.IsValidContactGroup(Str(groupName)); });
}

long zng_worker_is_valid_contact_group_of(zng_worker* worker, const char* userName,
                                          const char* groupName) {
    return Number(worker, [&](const CZNWorker& o) {
        return o.IsValidContactGroup(Str(userName), Str(groupName));
    });
}

long zng_worker_is_valid_direct_group(zng_worker* worker, const char* groupName) {
    return Number(worker, [&](const CZNWorker& o) { return o.IsValidDirectGroup(Str(groupName)); });
}

long zng_worker_is_valid_direct_group_of(zng_worker* worker, const char* userName,
                                         const char* groupName) {
    return Number(worker, [&](const CZNWorker& o) {
        return o.IsValidDirectGroup(Str(userName), Str(groupName));
    });
}

long zng_worker_is_valid_eventual_group(zng_worker* worker, const char* groupName) {
    return Number(worker,
                  [&](const CZNWorker& o) { return o.IsValidEventualGroup(Str(groupName)); });
}

long zng_worker_is_valid_eventual_group_of(zng_worker* worker, const char* userName,
                                           const char* groupName) {
    return Number(worker, [&](const CZNWorker& o) {
        return o.IsValidEventualGroup(Str(userName), Str(groupName));
    });
}

long zng_worker_is_valid_owner_group(zng_worker* worker, const char* groupName) {
    return Number(worker, [&](const CZNWorker& o) { return o.IsValidOwnerGroup(Str(groupName)); });
}

long zng_worker_is_valid_owner_group_of(zng_worker* worker, const char* userName,
                                        const char* groupName) {
    return Number(worker, [&](const CZNWorker& o) {
        return o.IsValidOwnerGroup(Str(userName), Str(groupName));
    });
}

const zng_string_list* zng_worker_get_domains(zng_worker* worker) {
    return Strings(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetDomains(); });
}

long zng_worker_is_valid_domain(zng_worker* worker, const char* domain) {
    return Number(worker, [&](const CZNWorker& o) { return o.IsValidDomain(domain); });
}

long zng_worker_set_domain(zng_worker* worker, const char* domain) {
    return Number(worker, [&](const CZNWorker& o) { return o.SetDomain(domain); });
}

const char* zng_worker_get_domain(zng_worker* worker) {
    return Text(worker, [&](const CZNWorker& o) -> decltype(auto) { return o.GetDomain(); });
}

long zng_worker_authenticate(zng_worker* worker, const char* userName, const char* password) {
    return Number(worker,
                  [&](const CZNWorker& o) { return o.Authenticate(Str(userName), Str(password)); });
}

long zng_worker_login(zng_worker* worker) {
    return Number(worker, [&](const CZNWorker& o) { return o.Login(); });
}

long zng_worker_login_of(zng_worker* worker, const char* userName) {
    return Number(worker, [&](const CZNWorker& o) { return o.Login(Str(userName)); });
}

long zng_worker_login_titled(zng_worker* worker, const char* title, const char* userName) {
    return Number(worker, [&](const CZNWorker& o) { return o.Login(Str(title), Str(userName)); });
}

void zng_worker_set_allow_generic_authentication(zng_worker* worker, long allow) {
    return Do(worker, [&](const CZNWorker& o) { return o.SetAllowGenericAuthentication(allow); });
}

void zng_worker_set_login_dialog_title(zng_worker* worker, const char* title) {
    return Do(worker, [&](const CZNWorker& o) { return o.SetLoginDialogTitle(Str(title)); });
}

const char* zng_worker_get_login_dialog_title(zng_worker* worker) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetLoginDialogTitle(); });
}

long zng_worker_get_error_status_code(zng_worker* worker) {
    return Number(worker, [&](const CZNWorker& o) { return o.GetErrorStatusCode(); });
}

const char* zng_worker_get_error_status_text(zng_worker* worker) {
    return Text(worker,
                [&](const CZNWorker& o) -> decltype(auto) { return o.GetErrorStatusText(); });
}

long zng_worker_get_connect_timeout_seconds(zng_worker* worker) {
    return Number(worker, [&](const CZNWorker& o) { return o.GetConnectTimeOutSeconds(); });
}

long zng_worker_get_connect_timeout_microseconds(zng_worker* worker) {
    return Number(worker, [&](const CZNWorker& o) { return o.GetConnectTimeOutMicroSeconds(); });
}

long zng_worker_get_search_timeout_seconds(zng_worker* worker) {
    return Number(worker, [&](const CZNWorker& o) { return o.GetSearchTimeOutSeconds(); });
}

long zng_worker_get_search_timeout_microseconds(zng_worker* worker) {
    return Number(worker, [&](const CZNWorker& o) { return o.GetSearchTimeOutMicroSeconds(); });
}

long zng_worker_get_timeout(zng_worker* worker) {
    return Number(worker, [&](const CZNWorker& o) { return o.GetTimeOut(); });
}

void zng_worker_set_connect_timeout(zng_worker* worker, long seconds, long microSeconds) {
    return Do(worker,
              [&](const CZNWorker& o) { return o.SetConnectTimeOut(seconds, microSeconds); });
}

void zng_worker_set_search_timeout(zng_worker* worker, long seconds, long microSeconds) {
    return Do(worker,
              [&](const CZNWorker& o) { return o.SetSearchTimeOut(seconds, microSeconds); });
}

void zng_worker_set_timeout(zng_worker* worker, long seconds) {
    return Do(worker, [&](const CZNWorker& o) { return o.SetTimeOut(seconds); });
}

}  // extern "C"
