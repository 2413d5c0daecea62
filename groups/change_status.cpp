// Questions about changes already made: a change's status, one change-log entry, and the
// change logs of the group.
#include "admin/admin_channel.h"
#include "groups/group_impl.h"
#include "session/status_codes.h"

namespace {

constexpr const char* kStatusFailedText = "Failed to retrieve change request status.";
constexpr const char* kStatusRetrievedText = "Successfully retrieve change request status.";
constexpr const char* kLogEntryRetrievedText = "Successfully retrieve change log entry.";

}  // namespace

void CZNGroupImpl::QueryChangeStatus(long changeNumber) {
    zn::RequestFields fields;
    fields.number = changeNumber;
    std::string request;
    zn::FormatChangeRequest(zn::ChangeRequest::kGetChangeStatus, fields, request);
    // Status questions go to the local administration server whatever the object's domain:
    // change numbers of all domains are told apart there.
    zn::CZNAdminChannel channel(nullptr, zn::kDefaultAdminPort);
    long result = channel.Transact(request.c_str());
    if (result != 1) {
        SetChangeStatusCode(result);
        SetChangeStatusText(kStatusFailedText);
        SetErrorStatus(channel.GetErrorCode(), channel.GetErrorText());
        return;
    }
    SetChangeStatusCode(channel.GetErrorCode());
    SetChangeStatusText(channel.GetErrorText());
    SetErrorStatus(zn::kStatusSuccess, kStatusRetrievedText);
}

long CZNGroupImpl::GetChangeStatusCodeOf(long changeNumber) {
    QueryChangeStatus(changeNumber);
    return GetChangeStatusCode();
}

const std::string& CZNGroupImpl::GetChangeStatusTextOf(long changeNumber) {
    QueryChangeStatus(changeNumber);
    return GetChangeStatusText();
}

const std::string& CZNGroupImpl::GetChangeLogEntry(long entryNumber) {
    zn::RequestFields fields;
    fields.number = entryNumber;
    std::string request;
    zn::FormatChangeRequest(zn::ChangeRequest::kGetChangeLogEntry, fields, request);
    zn::CZNAdminChannel channel(GetDomain().c_str(),
                                static_cast<std::uint32_t>(GetAdministrationPort()));
    long result = channel.Transact(request.c_str());
    if (result != 1) {
        SetChangeStatusCode(result);
        SetChangeStatusText("");
        SetErrorStatus(channel.GetErrorCode(), channel.GetErrorText());
    } else {
        SetChangeStatusCode(channel.GetErrorCode());
        SetChangeStatusText(channel.GetErrorText());
        SetErrorStatus(zn::kStatusSuccess, kLogEntryRetrievedText);
    }
    return GetChangeStatusText();
}

const std::list<std::string>& CZNGroupImpl::GetGroupChangeLogs() {
    zn::CZNAdminChannel channel(GetDomain().c_str(),
                                static_cast<std::uint32_t>(GetAdministrationPort()));
    m_changeLogs.clear();
    if (CheckGroupName(m_groupName)) {
        zn::RequestFields fields;
        fields.groupName = m_groupName;
        std::string request;
        zn::FormatChangeRequest(zn::ChangeRequest::kGetGroupChangeLogs, fields, request);
        m_changeLogs = channel.TransactList(request.c_str());
        SetErrorStatus(channel.GetErrorCode(), channel.GetErrorText());
    }
    Report("GetGroupChangeLogs");
    return m_changeLogs;
}
