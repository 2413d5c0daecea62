// Who the user is: a password checked by a bind as the user's entry, single sign-on for the
// accounts the directory names, and the login dialog for everyone else.
#include "CZNGroup.h"
#include "platform/host_info.h"
#include "platform/login_ui.h"
#include "session/status_codes.h"
#include "workers/login_dialog.h"
#include "workers/worker_impl.h"

namespace {

constexpr const char* kGenericAccountsGroup = "ZNGENERICS";
constexpr const char* kSingleSignOnGroup = "ZNI_SSO_CONTROL";
constexpr const char* kInvalidUserNameText = "Specified username is not valid.";
constexpr const char* kGenericAccountText = "Specified username is a GENERIC Username";
constexpr const char* kSuccessText = "Success";
constexpr std::size_t kAccountNameLength = 50;

}  // namespace

long CZNWorkerImpl::Authenticate(const std::string& userName, const std::string& password) {
    SetUserName(userName);
    // One lookup. A directory that could not be asked keeps its own reason: an outage is not
    // a wrong user name.
    ResolveWorkerDN();
    const std::string dn = GetResolvedWorkerDN();
    if (dn.empty()) {
        if (!LastSearchFailed()) {
            SetErrorStatus(zn::status::kInvalidUserName, kInvalidUserNameText);
        }
        return 0;
    }
    if (GetAllowGenericAuthentication() == 0 &&
        CZNGroup().IsValidGroupDirectMember(kGenericAccountsGroup, userName) == 1) {
        SetErrorStatus(zn::status::kGenericAccount, kGenericAccountText);
        return 0;
    }
    if (AuthenticateUser(dn, password) != 1) {
        return 0;
    }
    SetErrorStatus(zn::kStatusSuccess, kSuccessText);
    return 1;
}

long CZNWorkerImpl::Login() {
    std::string account;
    // A single blank where the system cannot tell, as an unfilled name buffer would hold.
    if (!zn::platform::ReadAccountName(account) || account.empty()) {
        account = " ";
    }
    account = account.substr(0, kAccountNameLength);
    if (CZNGroup().IsValidGroupEventualMember(kSingleSignOnGroup, account) != 0) {
        SetUserName(account);
        return 1;
    }
    zn::LoginDialog dialog(*this);
    long lastError = 0;
    int end = zn::platform::ShowLoginDialog(dialog, lastError);
    if (end < 0) {
        return lastError;
    }
    return end == 1 ? 1 : end == 2 ? 5 : 0;
}
