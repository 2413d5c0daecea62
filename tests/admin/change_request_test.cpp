// The exact bytes of every change request, the length limit, and reading replies.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <utility>
#include <vector>

#include "admin/change_request.h"
#include "admin/reply.h"
#include "admin/user_token.h"

namespace {

using zn::ChangeRequest;
using zn::RequestFields;

// Computed independently with standard DES (see user_token_test.cpp).
const std::string kAdminToken = "1d6c7abbd95c54bca98c9001368ec88000";

std::string Format(ChangeRequest kind, const RequestFields& fields) {
    std::string request = "unchanged";
    EXPECT_TRUE(zn::FormatChangeRequest(kind, fields, request));
    return request;
}

TEST(ChangeRequests, CarryTheirFieldsInTheServersOrder) {
    RequestFields f;
    f.userName = "ADMIN";
    f.groupName = "STAFF";
    f.targetName = "jdoe";
    const std::string head = "00001,ADMIN," + kAdminToken + ",";
    EXPECT_EQ(Format(ChangeRequest::kAddContact, f), head + "ADD,CONTACT,STAFF,JDOE");
    EXPECT_EQ(Format(ChangeRequest::kAddMember, f), head + "ADD,MEMBER,STAFF,JDOE");
    EXPECT_EQ(Format(ChangeRequest::kAddOwner, f), head + "ADD,OWNER,STAFF,JDOE");
    EXPECT_EQ(Format(ChangeRequest::kDeleteContact, f), head + "DELETE,CONTACT,STAFF,JDOE");
    EXPECT_EQ(Format(ChangeRequest::kDeleteMember, f), head + "DELETE,MEMBER,STAFF,JDOE");
    EXPECT_EQ(Format(ChangeRequest::kDeleteOwner, f), head + "DELETE,OWNER,STAFF,JDOE");

    f.targetName = "sales-east";
    f.organizationalUnit = "Sales Dept";
    EXPECT_EQ(Format(ChangeRequest::kAddSubGroup, f), head + "ADD,GROUP,STAFF,SALES-EAST");
    EXPECT_EQ(Format(ChangeRequest::kRemoveSubGroup, f), head + "REMOVE,GROUP,STAFF,SALES-EAST");
    EXPECT_EQ(Format(ChangeRequest::kCreateSubGroup, f),
              head + "CREATE,GROUP,STAFF,SALES-EAST,Sales Dept");
    EXPECT_EQ(Format(ChangeRequest::kCreateGroup, f),
              head + "CREATE,GROUP, ,SALES-EAST,Sales Dept");
    EXPECT_EQ(Format(ChangeRequest::kDeleteSubGroup, f), head + "DELETE,GROUP,STAFF,SALES-EAST");
    EXPECT_EQ(Format(ChangeRequest::kDeleteGroup, f), head + "DELETE,GROUP, ,SALES-EAST");

    EXPECT_EQ(Format(ChangeRequest::kSetExchangeSynchronization, f), head + "SET,EXCH_SYNCH,STAFF");
    EXPECT_EQ(Format(ChangeRequest::kClearExchangeSynchronization, f),
              head + "CLEAR,EXCH_SYNCH,STAFF");
    EXPECT_EQ(Format(ChangeRequest::kSetMailAliased, f), head + "SET,MAIL_ALIASED,STAFF");
    EXPECT_EQ(Format(ChangeRequest::kClearMailAliased, f), head + "CLEAR,MAIL_ALIASED,STAFF");

    f.attributeName = "roomNumber";
    f.value = "B 12, east wing";
    EXPECT_EQ(Format(ChangeRequest::kSetGenericAttribute, f),
              head + "SET,GENERIC_ATTRIBUTE,STAFF,roomNumber,B 12, east wing");
    // Descriptions travel unchanged, commas included, under their own record type.
    EXPECT_EQ(Format(ChangeRequest::kSetDescription, f),
              "00003,ADMIN," + kAdminToken + ",SET,DESCRIPTION,STAFF,B 12, east wing");
    EXPECT_EQ(Format(ChangeRequest::kResetGroupChangeLogs, f),
              "00002,RESET,GROUP,STAFF,ADMIN," + kAdminToken);
    EXPECT_EQ(Format(ChangeRequest::kGetGroupChangeLogs, f), "00002,GET,GROUP,STAFF");
    f.number = -5;
    EXPECT_EQ(Format(ChangeRequest::kGetChangeStatus, f), "00002,GET,CHANGE,-5");
    f.number = 123456;
    EXPECT_EQ(Format(ChangeRequest::kGetChangeLogEntry, f), "00002,GET,CHANGELOG,123456");
}

TEST(ChangeRequests, ModifyWritesBlanksAfterTheFirstThreeValuesAndAnEmptyLastField) {
    RequestFields f;
    f.userName = "ADMIN";
    f.groupName = "OLD";
    f.targetName = "newname";
    const std::string head = "00001,ADMIN," + kAdminToken + ",MODIFY,GROUP,OLD,";
    EXPECT_EQ(Format(ChangeRequest::kModifyGroup, f), head + "NEWNAME , , ,");
    f.targetName.clear();
    f.companyNumber = "0042";
    EXPECT_EQ(Format(ChangeRequest::kModifyGroup, f), head + " , ,0042 ,");
    // A unit left in the fields by an earlier request never reaches a modification.
    f.organizationalUnit = "ou=Sales";
    f.value = "stray";
    EXPECT_EQ(Format(ChangeRequest::kModifyGroup, f), head + " , ,0042 ,");
}

TEST(ChangeRequests, CutTargetUserNamesTo51CharactersAndKeepLongRequesterNames) {
    RequestFields f;
    f.userName = "ABCDEFGHIJKLMNOPQRSTU";  // 21 characters: the token covers the first 16
    f.groupName = "STAFF";
    f.targetName = std::string(60, 'x');
    EXPECT_EQ(Format(ChangeRequest::kAddMember, f),
              "00001,ABCDEFGHIJKLMNOPQRSTU," + zn::MakeUserToken("ABCDEFGHIJKLMNOP") +
                  ",ADD,MEMBER,STAFF," + std::string(51, 'X'));
}

TEST(ChangeRequests, LongerThan2047CharactersAreRefused) {
    RequestFields f;
    f.userName = "ADMIN";
    f.groupName = "STAFF";
    const std::size_t fixed = Format(ChangeRequest::kSetDescription, f).size();
    f.value = std::string(zn::kMaxRequestLength - fixed, 'd');
    std::string request;
    EXPECT_TRUE(zn::FormatChangeRequest(ChangeRequest::kSetDescription, f, request));
    EXPECT_EQ(request.size(), 2047u);
    f.value += 'd';
    EXPECT_FALSE(zn::FormatChangeRequest(ChangeRequest::kSetDescription, f, request));
    EXPECT_TRUE(request.empty());
    f.attributeName = "info";
    EXPECT_FALSE(zn::FormatChangeRequest(ChangeRequest::kSetGenericAttribute, f, request));
}

// Every request with fields that exercise its layout: commas and blanks in the free-text
// last fields, a negative number, names at their longest.
std::vector<std::pair<ChangeRequest, RequestFields>> EveryRequest() {
    std::vector<std::pair<ChangeRequest, RequestFields>> all;
    for (int k = zn::kFirstChangeRequest; k <= zn::kLastChangeRequest; ++k) {
        RequestFields f;
        f.userName = "JDOE";
        f.groupName = "ENG-ALL";
        f.targetName = "BWHITE";
        f.organizationalUnit = "Sales, East";
        f.attributeName = "roomNumber";
        f.value = "B 12, east wing,";
        f.number = -5;
        auto kind = static_cast<ChangeRequest>(k);
        if (kind == ChangeRequest::kModifyGroup) {
            f.companyNumber = "0042";
            f.organizationalUnit.clear();
            f.value.clear();
        }
        all.emplace_back(kind, f);
    }
    return all;
}

TEST(ChangeRequests, ReadBackAsTheRequestAndFieldsTheyWereWrittenFrom) {
    for (const auto& [kind, f] : EveryRequest()) {
        std::string text = Format(kind, f);
        zn::ParsedRequest parsed;
        zn::ParseOutcome outcome = zn::ParseChangeRequest(text, parsed);
        ASSERT_TRUE(outcome == zn::ParseOutcome::kMayContinue ||
                    outcome == zn::ParseOutcome::kComplete)
            << text;
        EXPECT_EQ(parsed.kind, kind) << text;
        // Written again from what was read, the request is the same bytes.
        std::string again;
        ASSERT_TRUE(zn::FormatChangeRequest(parsed.kind, parsed.fields, again));
        EXPECT_EQ(again, text);
        if (zn::IsChange(kind)) {
            EXPECT_EQ(parsed.userToken, zn::MakeUserToken("JDOE")) << text;
        }
    }
    // Only the token at the end of a reset tells by itself that nothing more can follow.
    RequestFields f;
    f.userName = "JDOE";
    f.groupName = "ENG-ALL";
    zn::ParsedRequest parsed;
    EXPECT_EQ(zn::ParseChangeRequest(Format(ChangeRequest::kResetGroupChangeLogs, f), parsed),
              zn::ParseOutcome::kComplete);
    f.targetName = std::string(51, 'M');
    EXPECT_EQ(zn::ParseChangeRequest(Format(ChangeRequest::kAddMember, f), parsed),
              zn::ParseOutcome::kComplete);
    EXPECT_EQ(parsed.fields.targetName, std::string(51, 'M'));
}

TEST(ChangeRequests, EveryBeginningOfARequestReadsAsUnfinished) {
    for (const auto& [kind, f] : EveryRequest()) {
        const std::string text = Format(kind, f);
        for (std::size_t cut = 0; cut < text.size(); ++cut) {
            zn::ParsedRequest parsed;
            zn::ParseOutcome outcome = zn::ParseChangeRequest(text.substr(0, cut), parsed);
            EXPECT_TRUE(outcome == zn::ParseOutcome::kIncomplete ||
                        outcome == zn::ParseOutcome::kMayContinue)
                << "'" << text.substr(0, cut) << "'";
        }
    }
}

TEST(ChangeRequests, ReadBackRefusesWhatNoLayoutAllows) {
    const std::string token = zn::MakeUserToken("JDOE");
    auto outcome = [](const std::string& text) {
        zn::ParsedRequest parsed;
        return zn::ParseChangeRequest(text, parsed);
    };
    using zn::ParseOutcome;
    EXPECT_EQ(outcome("00004,JDOE," + token + ",ADD,MEMBER,G,X"), ParseOutcome::kUnknown);
    EXPECT_EQ(outcome("00001,JDOE," + token + ",ADD,PLANET,G,X"), ParseOutcome::kUnknown);
    EXPECT_EQ(outcome("00002,GET,EVERYTHING"), ParseOutcome::kUnknown);
    EXPECT_EQ(outcome("GET / HTTP/1.1"), ParseOutcome::kUnknown);
    // The token: 34 lowercase hexadecimal characters.
    EXPECT_EQ(outcome("00001,JDOE,XYZ,ADD,MEMBER,G,X"), ParseOutcome::kMalformed);
    std::string upper = token;
    upper[0] = 'A';
    EXPECT_EQ(outcome("00001,JDOE," + upper + ",ADD,MEMBER,G,X"), ParseOutcome::kMalformed);
    EXPECT_EQ(outcome("00002,RESET,GROUP,G,JDOE," + token + "0"), ParseOutcome::kMalformed);
    // Numbers as %ld writes them, within range.
    EXPECT_EQ(outcome("00002,GET,CHANGE,12a"), ParseOutcome::kMalformed);
    EXPECT_EQ(outcome("00002,GET,CHANGE,99999999999999999999999"), ParseOutcome::kMalformed);
    EXPECT_EQ(outcome("00002,GET,CHANGE,+5"), ParseOutcome::kMalformed);
    // MODIFY's first three values are each followed by a blank.
    EXPECT_EQ(outcome("00001,JDOE," + token + ",MODIFY,GROUP,G,NEW,,,"), ParseOutcome::kMalformed);
    // A request is one line, and a NUL byte ends a C string on the way into the directory.
    EXPECT_EQ(outcome("00002,GET,GROUP,ENG\nALL"), ParseOutcome::kMalformed);
    EXPECT_EQ(outcome("00002,GET,GROUP,ENG\r"), ParseOutcome::kMalformed);
    const char withNul[] = "00002,GET,GROUP,ENG\0ALL";
    EXPECT_EQ(outcome(std::string(withNul, sizeof withNul - 1)), ParseOutcome::kMalformed);
    // The blank parent slot decides between the two forms of creation and deletion.
    zn::ParsedRequest parsed;
    zn::ParseChangeRequest("00001,JDOE," + token + ",DELETE,GROUP, ,OLD", parsed);
    EXPECT_EQ(parsed.kind, ChangeRequest::kDeleteGroup);
    zn::ParseChangeRequest("00001,JDOE," + token + ",DELETE,GROUP,  ,OLD", parsed);
    EXPECT_EQ(parsed.kind, ChangeRequest::kDeleteSubGroup);
    EXPECT_EQ(parsed.fields.groupName, "  ");
}

zn::Reply Parse(const std::string& text, bool complete = true) {
    zn::Reply reply;
    EXPECT_EQ(zn::ParseReply(text.data(), text.size(), reply), complete) << text;
    return reply;
}

TEST(Replies, SplitIntoResultCodeAndTextAtCommas) {
    zn::Reply reply = Parse("1,0,Change request 17 queued.");
    EXPECT_EQ(reply.result, 1);
    EXPECT_EQ(reply.code, 0);
    EXPECT_EQ(reply.text, "Change request 17 queued.");
    EXPECT_EQ(Parse("1,0,first part, second part").text, "first part");
    EXPECT_EQ(Parse("1,0,").text, "");
    // Numbers read as atoi reads them; a run of commas counts as one.
    reply = Parse("OK,-30015, not an owner");
    EXPECT_EQ(reply.result, 0);
    EXPECT_EQ(reply.code, -30015);
    EXPECT_EQ(reply.text, " not an owner");
    reply = Parse(" 2x,,,7,,text");
    EXPECT_EQ(reply.result, 2);
    EXPECT_EQ(reply.code, 7);
    EXPECT_EQ(reply.text, "text");
}

TEST(Replies, WithFewerThanThreeFieldsAreIncomplete) {
    Parse("", false);
    Parse("1", false);
    Parse("1,", false);
    Parse("1,0", false);
    Parse(",,,", false);
    Parse(std::string("1,0\0,text", 9), false);
}

TEST(RecordStream, AssemblesRecordsAcrossAnyNumberOfReads) {
    const std::string record(3000, 'r');
    const std::string stream = "a]*" + record + "]*End-Of-Data]*";
    zn::RecordStream reader;
    std::list<std::string> records;
    for (std::size_t at = 0; at < stream.size(); at += 700) {
        bool ended = reader.Take(stream.data() + at, std::min<std::size_t>(700, stream.size() - at),
                                 records);
        EXPECT_EQ(ended, at + 700 >= stream.size());
    }
    EXPECT_EQ(records, (std::list<std::string>{"a", record}));
}

}  // namespace
