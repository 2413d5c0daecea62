// The one-line change requests the administration server accepts: one table of layouts, read
// by the library to write requests and by the server to read them.
#include "admin/change_request.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "admin/user_token.h"
#include "session/format.h"

namespace zn {
namespace {

// What stands in one comma-separated field of a layout.
enum class Slot : unsigned char {
    kLiteral,       // the record type, verb, object, or the blank of an unfilled slot
    kUser,          // the requester
    kToken,         // the requester's user token
    kGroup,         // the object's group
    kPerson,        // a target user name: cut to 51 characters, upper case
    kNamed,         // a target group name: upper case
    kNamedBlank,    // MODIFY's new name, then a blank
    kReservedBlank, // MODIFY's reserved value (always empty), then a blank
    kCompanyBlank,  // MODIFY's company number, then a blank
    kFixedUnit,     // MODIFY's unit: always empty
    kUnit,          // an organizational unit
    kAttribute,     // a generic attribute's name
    kValue,         // an attribute value or a description; the rest of the line
    kNumber,        // a change or log entry number, "%ld"
};

struct Field {
    Slot slot;
    const char* literal = nullptr;
};

constexpr Field L(const char* text) { return Field{Slot::kLiteral, text}; }
constexpr Field S(Slot slot) { return Field{slot, nullptr}; }

constexpr std::size_t kMaxFields = 10;

struct Layout {
    ChangeRequest kind;
    const char* name;
    std::size_t count;
    Field fields[kMaxFields];
};

constexpr Field kUser = S(Slot::kUser);
constexpr Field kToken = S(Slot::kToken);
constexpr Field kGroup = S(Slot::kGroup);
constexpr Field kPerson = S(Slot::kPerson);
constexpr Field kNamed = S(Slot::kNamed);
constexpr Field kBlank = L(" ");

// The administration server's protocol table. Where two layouts share verb and object, the
// one with a blank parent slot comes first, so that the blank decides between them.
const Layout kLayouts[] = {
    {ChangeRequest::kAddContact, "ADD CONTACT", 7,
     {L("00001"), kUser, kToken, L("ADD"), L("CONTACT"), kGroup, kPerson}},
    {ChangeRequest::kAddMember, "ADD MEMBER", 7,
     {L("00001"), kUser, kToken, L("ADD"), L("MEMBER"), kGroup, kPerson}},
    {ChangeRequest::kAddOwner, "ADD OWNER", 7,
     {L("00001"), kUser, kToken, L("ADD"), L("OWNER"), kGroup, kPerson}},
    {ChangeRequest::kDeleteContact, "DELETE CONTACT", 7,
     {L("00001"), kUser, kToken, L("DELETE"), L("CONTACT"), kGroup, kPerson}},
    {ChangeRequest::kDeleteMember, "DELETE MEMBER", 7,
     {L("00001"), kUser, kToken, L("DELETE"), L("MEMBER"), kGroup, kPerson}},
    {ChangeRequest::kDeleteOwner, "DELETE OWNER", 7,
     {L("00001"), kUser, kToken, L("DELETE"), L("OWNER"), kGroup, kPerson}},
    {ChangeRequest::kAddSubGroup, "ADD GROUP", 7,
     {L("00001"), kUser, kToken, L("ADD"), L("GROUP"), kGroup, kNamed}},
    {ChangeRequest::kRemoveSubGroup, "REMOVE GROUP", 7,
     {L("00001"), kUser, kToken, L("REMOVE"), L("GROUP"), kGroup, kNamed}},
    {ChangeRequest::kCreateGroup, "CREATE GROUP", 8,
     {L("00001"), kUser, kToken, L("CREATE"), L("GROUP"), kBlank, kNamed, S(Slot::kUnit)}},
    {ChangeRequest::kCreateSubGroup, "CREATE GROUP", 8,
     {L("00001"), kUser, kToken, L("CREATE"), L("GROUP"), kGroup, kNamed, S(Slot::kUnit)}},
    {ChangeRequest::kDeleteGroup, "DELETE GROUP", 7,
     {L("00001"), kUser, kToken, L("DELETE"), L("GROUP"), kBlank, kNamed}},
    {ChangeRequest::kDeleteSubGroup, "DELETE GROUP", 7,
     {L("00001"), kUser, kToken, L("DELETE"), L("GROUP"), kGroup, kNamed}},
    {ChangeRequest::kModifyGroup, "MODIFY GROUP", 10,
     {L("00001"), kUser, kToken, L("MODIFY"), L("GROUP"), kGroup, S(Slot::kNamedBlank),
      S(Slot::kReservedBlank), S(Slot::kCompanyBlank), S(Slot::kFixedUnit)}},
    {ChangeRequest::kSetExchangeSynchronization, "SET EXCH_SYNCH", 6,
     {L("00001"), kUser, kToken, L("SET"), L("EXCH_SYNCH"), kGroup}},
    {ChangeRequest::kClearExchangeSynchronization, "CLEAR EXCH_SYNCH", 6,
     {L("00001"), kUser, kToken, L("CLEAR"), L("EXCH_SYNCH"), kGroup}},
    {ChangeRequest::kSetMailAliased, "SET MAIL_ALIASED", 6,
     {L("00001"), kUser, kToken, L("SET"), L("MAIL_ALIASED"), kGroup}},
    {ChangeRequest::kClearMailAliased, "CLEAR MAIL_ALIASED", 6,
     {L("00001"), kUser, kToken, L("CLEAR"), L("MAIL_ALIASED"), kGroup}},
    {ChangeRequest::kSetGenericAttribute, "SET GENERIC_ATTRIBUTE", 8,
     {L("00001"), kUser, kToken, L("SET"), L("GENERIC_ATTRIBUTE"), kGroup,
      S(Slot::kAttribute), S(Slot::kValue)}},
    {ChangeRequest::kSetDescription, "SET DESCRIPTION", 7,
     {L("00003"), kUser, kToken, L("SET"), L("DESCRIPTION"), kGroup, S(Slot::kValue)}},
    {ChangeRequest::kResetGroupChangeLogs, "RESET GROUP", 6,
     {L("00002"), L("RESET"), L("GROUP"), kGroup, kUser, kToken}},
    {ChangeRequest::kGetGroupChangeLogs, "GET GROUP", 4,
     {L("00002"), L("GET"), L("GROUP"), kGroup}},
    {ChangeRequest::kGetChangeLogEntry, "GET CHANGELOG", 4,
     {L("00002"), L("GET"), L("CHANGELOG"), S(Slot::kNumber)}},
    {ChangeRequest::kGetChangeStatus, "GET CHANGE", 4,
     {L("00002"), L("GET"), L("CHANGE"), S(Slot::kNumber)}},
};

const Layout& LayoutOf(ChangeRequest kind) {
    for (const Layout& layout : kLayouts) {
        if (layout.kind == kind) {
            return layout;
        }
    }
    return kLayouts[0];  // unreachable: every request has a layout
}

// Target names go to the server upper-cased byte by byte, as the directory stores them.
std::string UpperCased(const std::string& name, std::size_t limit) {
    std::string result = name.substr(0, limit);
    for (char& c : result) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return result;
}

std::string FieldText(const Field& field, const RequestFields& f) {
    switch (field.slot) {
        case Slot::kLiteral: return field.literal;
        case Slot::kUser: return f.userName;
        case Slot::kToken: return MakeUserToken(f.userName);
        case Slot::kGroup: return f.groupName;
        case Slot::kPerson: return UpperCased(f.targetName, kTargetUserNameLength);
        case Slot::kNamed: return UpperCased(f.targetName, std::string::npos);
        case Slot::kNamedBlank: return UpperCased(f.targetName, std::string::npos) + " ";
        // The reserved value and the unit are always sent empty: a group is not moved
        // between units by a modification, whatever the caller left in the fields.
        case Slot::kReservedBlank: return " ";
        case Slot::kCompanyBlank: return f.companyNumber + " ";
        case Slot::kFixedUnit: return std::string();
        case Slot::kUnit: return f.organizationalUnit;
        case Slot::kAttribute: return f.attributeName;
        case Slot::kValue: return f.value;
        case Slot::kNumber: return FormatText("%ld", f.number);
    }
    return std::string();
}

// ---------------------------------------------------------------------------------------
// Reading.

bool IsTokenPrefix(const std::string& text) {
    if (text.size() > kTokenLength) {
        return false;
    }
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && (c < 'a' || c > 'f')) {
            return false;
        }
    }
    return true;
}

bool IsNumberPrefix(const std::string& text) {
    std::size_t i = (!text.empty() && text[0] == '-') ? 1 : 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            return false;
        }
    }
    return true;
}

// "%ld" read back strictly: a sign, digits, nothing else, within the range of long.
bool ReadNumber(const std::string& text, long& number) {
    if (text.empty() || text == "-" || !IsNumberPrefix(text)) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    number = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && end == text.c_str() + text.size();
}

bool EndsWithBlank(const std::string& text) { return !text.empty() && text.back() == ' '; }

enum class Match { kFull, kPrefix, kBadField, kNone };

// Checks one complete field and stores it. False when it cannot stand in that slot.
bool TakeField(const Field& field, const std::string& text, ParsedRequest& out) {
    RequestFields& f = out.fields;
    auto stripped = [&](std::string& target) {
        if (!EndsWithBlank(text)) {
            return false;
        }
        target = text.substr(0, text.size() - 1);
        return true;
    };
    switch (field.slot) {
        case Slot::kLiteral: return text == field.literal;
        case Slot::kUser: f.userName = text; return true;
        case Slot::kToken:
            out.userToken = text;
            return text.size() == kTokenLength && IsTokenPrefix(text);
        case Slot::kGroup: f.groupName = text; return true;
        case Slot::kPerson:
        case Slot::kNamed: f.targetName = text; return true;
        case Slot::kNamedBlank: return stripped(f.targetName);
        case Slot::kReservedBlank: return stripped(f.value);
        case Slot::kCompanyBlank: return stripped(f.companyNumber);
        case Slot::kFixedUnit:
        case Slot::kUnit: f.organizationalUnit = text; return true;
        case Slot::kAttribute: f.attributeName = text; return true;
        case Slot::kValue: f.value = text; return true;
        case Slot::kNumber: return ReadNumber(text, f.number);
    }
    return false;
}

// Whether the last field of a received request could be the beginning of that slot's text.
bool CouldBegin(const Field& field, const std::string& text) {
    switch (field.slot) {
        case Slot::kLiteral: return std::string(field.literal).compare(0, text.size(), text) == 0;
        case Slot::kToken: return IsTokenPrefix(text);
        case Slot::kNumber: {
            // More digits cannot bring a number that is already out of range back.
            long ignored = 0;
            return text.empty() || text == "-" || ReadNumber(text, ignored);
        }
        default: return true;
    }
}

// A last field of this length is as long as the library ever makes it: no byte can follow.
bool IsFullLength(const Field& field, const std::string& text) {
    switch (field.slot) {
        case Slot::kToken: return text.size() == kTokenLength;
        case Slot::kPerson: return text.size() >= kTargetUserNameLength;
        default: return false;
    }
}

std::vector<std::string> SplitAtCommas(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

Match MatchLayout(const Layout& layout, const std::vector<std::string>& pieces,
                  ParsedRequest& out, bool& fullLength) {
    out = ParsedRequest();
    out.kind = layout.kind;
    const std::size_t count = layout.count;
    if (pieces.size() < count) {
        // Every field before the last received one is whole; the last may still grow.
        bool bad = false;
        for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
            const Field& field = layout.fields[i];
            if (!TakeField(field, pieces[i], out)) {
                if (field.slot == Slot::kLiteral) {
                    return Match::kNone;
                }
                bad = true;
            }
        }
        const Field& last = layout.fields[pieces.size() - 1];
        if (!CouldBegin(last, pieces.back())) {
            return last.slot == Slot::kLiteral ? Match::kNone : Match::kBadField;
        }
        return bad ? Match::kBadField : Match::kPrefix;
    }
    // The last field takes the rest of the line, commas included: descriptions, attribute
    // values and units are sent as the caller gave them.
    bool bad = false;
    for (std::size_t i = 0; i < count; ++i) {
        std::string text = pieces[i];
        if (i + 1 == count) {
            for (std::size_t j = count; j < pieces.size(); ++j) {
                text += ',';
                text += pieces[j];
            }
        }
        const Field& field = layout.fields[i];
        const bool last = i + 1 == count;
        if (!TakeField(field, text, out)) {
            if (field.slot == Slot::kLiteral) {
                return Match::kNone;
            }
            // A token or number still arriving is not yet wrong.
            if (last && !bad && CouldBegin(field, text)) {
                return Match::kPrefix;
            }
            bad = true;
        }
        if (last) {
            fullLength = IsFullLength(field, text);
        }
    }
    return bad ? Match::kBadField : Match::kFull;
}

}  // namespace

bool FormatChangeRequest(ChangeRequest kind, const RequestFields& fields, std::string& request) {
    const Layout& layout = LayoutOf(kind);
    request.clear();
    for (std::size_t i = 0; i < layout.count; ++i) {
        if (i > 0) {
            request += ',';
        }
        request += FieldText(layout.fields[i], fields);
        if (request.size() > kMaxRequestLength) {
            break;
        }
    }
    if (request.size() > kMaxRequestLength) {
        request.clear();
        return false;
    }
    return true;
}

bool IsChange(ChangeRequest kind) {
    return kind != ChangeRequest::kGetGroupChangeLogs &&
           kind != ChangeRequest::kGetChangeLogEntry && kind != ChangeRequest::kGetChangeStatus;
}

const char* RequestName(ChangeRequest kind) { return LayoutOf(kind).name; }

ParseOutcome ParseChangeRequest(const std::string& text, ParsedRequest& request) {
    // One request is one line of text.
    if (text.find_first_of(std::string("\0\r\n", 3)) != std::string::npos) {
        return ParseOutcome::kMalformed;
    }
    const std::vector<std::string> pieces = SplitAtCommas(text);
    bool prefix = false;
    bool bad = false;
    for (const Layout& layout : kLayouts) {
        ParsedRequest candidate;
        bool fullLength = false;
        switch (MatchLayout(layout, pieces, candidate, fullLength)) {
            case Match::kFull:
                request = std::move(candidate);
                return fullLength ? ParseOutcome::kComplete : ParseOutcome::kMayContinue;
            case Match::kPrefix: prefix = true; break;
            case Match::kBadField: bad = true; break;
            case Match::kNone: break;
        }
    }
    if (prefix) {
        return ParseOutcome::kIncomplete;
    }
    return bad ? ParseOutcome::kMalformed : ParseOutcome::kUnknown;
}

bool IsRoleGroupName(const std::string& name) {
    static const std::string kUnitPrefix = "ZN_GROUP_ORG_UNIT_";
    static const std::string kUnitSuffix = "_PRIV";
    // The directory finds the entry with blanks around its name too.
    const std::size_t first = name.find_first_not_of(' ');
    std::string upper = first == std::string::npos ? std::string()
                                                   : name.substr(first, name.find_last_not_of(' ') + 1 - first);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "ZN_GROUPS_ADMINISTRATORS" || upper == "ZNGENERICS" ||
        upper == "ZNI_SSO_CONTROL") {
        return true;
    }
    return upper.size() > kUnitPrefix.size() + kUnitSuffix.size() &&
           upper.compare(0, kUnitPrefix.size(), kUnitPrefix) == 0 &&
           upper.compare(upper.size() - kUnitSuffix.size(), kUnitSuffix.size(), kUnitSuffix) == 0;
}

}  // namespace zn
