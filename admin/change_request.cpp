// The one-line change requests the administration server accepts, built in one place.
#include "admin/change_request.h"

#include <cctype>

#include "admin/user_token.h"
#include "session/format.h"

namespace zn {
namespace {

// Target names go to the server upper-cased byte by byte, as the directory stores them.
std::string UpperCased(const std::string& name, std::size_t limit) {
    std::string result = name.substr(0, limit);
    for (char& c : result) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return result;
}

std::string Format(ChangeRequest kind, const RequestFields& f) {
    const char* user = f.userName.c_str();
    const std::string token = MakeUserToken(f.userName);
    const char* tok = token.c_str();
    const char* group = f.groupName.c_str();
    const std::string person = UpperCased(f.targetName, kTargetUserNameLength);
    const std::string named = UpperCased(f.targetName, std::string::npos);
    const char* unit = f.organizationalUnit.c_str();
    switch (kind) {
        case ChangeRequest::kAddContact:
            return FormatText("00001,%s,%s,ADD,CONTACT,%s,%s", user, tok, group, person.c_str());
        case ChangeRequest::kAddMember:
            return FormatText("00001,%s,%s,ADD,MEMBER,%s,%s", user, tok, group, person.c_str());
        case ChangeRequest::kAddOwner:
            return FormatText("00001,%s,%s,ADD,OWNER,%s,%s", user, tok, group, person.c_str());
        case ChangeRequest::kDeleteContact:
            return FormatText("00001,%s,%s,DELETE,CONTACT,%s,%s", user, tok, group, person.c_str());
        case ChangeRequest::kDeleteMember:
            return FormatText("00001,%s,%s,DELETE,MEMBER,%s,%s", user, tok, group, person.c_str());
        case ChangeRequest::kDeleteOwner:
            return FormatText("00001,%s,%s,DELETE,OWNER,%s,%s", user, tok, group, person.c_str());
        case ChangeRequest::kAddSubGroup:
            return FormatText("00001,%s,%s,ADD,GROUP,%s,%s", user, tok, group, named.c_str());
        case ChangeRequest::kRemoveSubGroup:
            return FormatText("00001,%s,%s,REMOVE,GROUP,%s,%s", user, tok, group, named.c_str());
        case ChangeRequest::kCreateSubGroup:
            return FormatText("00001,%s,%s,CREATE,GROUP,%s,%s,%s", user, tok, group, named.c_str(),
                              unit);
        case ChangeRequest::kCreateGroup:
            return FormatText("00001,%s,%s,CREATE,GROUP, ,%s,%s", user, tok, named.c_str(), unit);
        case ChangeRequest::kDeleteSubGroup:
            return FormatText("00001,%s,%s,DELETE,GROUP,%s,%s", user, tok, group, named.c_str());
        case ChangeRequest::kDeleteGroup:
            return FormatText("00001,%s,%s,DELETE,GROUP, ,%s", user, tok, named.c_str());
        case ChangeRequest::kModifyGroup:
            // The reserved value and the unit are always sent empty: a group is not moved
            // between units by a modification, whatever the caller left in the fields.
            return FormatText("00001,%s,%s,MODIFY,GROUP,%s,%s ,%s ,%s ,%s", user, tok, group,
                              named.c_str(), "", f.companyNumber.c_str(), "");
        case ChangeRequest::kSetExchangeSynchronization:
            return FormatText("00001,%s,%s,SET,EXCH_SYNCH,%s", user, tok, group);
        case ChangeRequest::kClearExchangeSynchronization:
            return FormatText("00001,%s,%s,CLEAR,EXCH_SYNCH,%s", user, tok, group);
        case ChangeRequest::kSetMailAliased:
            return FormatText("00001,%s,%s,SET,MAIL_ALIASED,%s", user, tok, group);
        case ChangeRequest::kClearMailAliased:
            return FormatText("00001,%s,%s,CLEAR,MAIL_ALIASED,%s", user, tok, group);
        case ChangeRequest::kSetGenericAttribute:
            return FormatText("00001,%s,%s,SET,GENERIC_ATTRIBUTE,%s,%s,%s", user, tok, group,
                              f.attributeName.c_str(), f.value.c_str());
        case ChangeRequest::kSetDescription:
            return FormatText("00003,%s,%s,SET,DESCRIPTION,%s,%s", user, tok, group,
                              f.value.c_str());
        case ChangeRequest::kResetGroupChangeLogs:
            return FormatText("00002,RESET,GROUP,%s,%s,%s", group, user, tok);
        case ChangeRequest::kGetGroupChangeLogs:
            return FormatText("00002,GET,GROUP,%s", group);
        case ChangeRequest::kGetChangeLogEntry:
            return FormatText("00002,GET,CHANGELOG,%ld", f.number);
        case ChangeRequest::kGetChangeStatus:
            return FormatText("00002,GET,CHANGE,%ld", f.number);
    }
    return std::string();
}

}  // namespace

bool FormatChangeRequest(ChangeRequest kind, const RequestFields& fields, std::string& request) {
    request = Format(kind, fields);
    if (request.size() > kMaxRequestLength) {
        request.clear();
        return false;
    }
    return true;
}

}  // namespace zn
