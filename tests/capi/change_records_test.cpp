// Change-log lines and change answers read into fields, as the administration server writes
// them and as it might not.
#include <gtest/gtest.h>

#include <string>

#include "capi/change_records.h"

namespace {

using zn::capi::ChangeNumberIn;
using zn::capi::ChangeRecord;
using zn::capi::ParseChangeRecord;

TEST(ChangeRecords, AnswersNameTheirChangeOnlyInTheirOwnShape) {
    EXPECT_EQ(ChangeNumberIn("Change 17 applied."), 17);
    EXPECT_EQ(ChangeNumberIn("Change 4 is pending: the directory stopped part way (x); it will "
                             "be completed."),
              4);
    EXPECT_EQ(ChangeNumberIn("Change 2147483647 is pending."), 2147483647L);
    for (const char* other : {"", "Success", "Change applied.", "Change -3 applied.",
                              "Change 17a applied.", "Changes 17 applied.", "change 17 applied.",
                              "egray is already a direct member of ENG-ALUMNI ."}) {
        EXPECT_EQ(ChangeNumberIn(other), 0) << other;
    }
}

TEST(ChangeRecords, LinesGiveTheirFields) {
    struct Case {
        const char* line;
        long number, code;
        const char *kind, *group, *target, *state;
    };
    const Case cases[] = {
        {"Change 1 2026-12-07T09:27:44Z ASMITH ADD MEMBER ENG-ALUMNI EGRAY applied", 1, 1,
         "ADD MEMBER", "ENG-ALUMNI", "EGRAY", "applied"},
        {"Change 2 2026-12-07T09:27:45Z ASMITH SET DESCRIPTION ENG-ALUMNI pending", 2, 2,
         "SET DESCRIPTION", "ENG-ALUMNI", "", "pending"},
        {"Change 3 2026-12-07T09:27:46Z JDOE ADD OWNER ENG-ALL JDOE rejected 30015", 3, 30015,
         "ADD OWNER", "ENG-ALL", "JDOE", "rejected"},
        // The server's own repairs, with a target of more than one word.
        {"Change 9 2026-12-07T09:30:00Z ZNGROUPS-ADMIND REPAIR EVENTUAL MEMBERS ENG-ALL +3 -1 "
         "applied",
         9, 1, "REPAIR EVENTUAL MEMBERS", "ENG-ALL", "+3 -1", "applied"},
        {"Change 10 2026-12-07T09:30:01Z ASMITH SET GENERIC_ATTRIBUTE ENG-DB mail applied", 10, 1,
         "SET GENERIC_ATTRIBUTE", "ENG-DB", "mail", "applied"},
    };
    for (const Case& c : cases) {
        ChangeRecord record;
        ASSERT_TRUE(ParseChangeRecord(c.line, record)) << c.line;
        EXPECT_EQ(record.number, c.number);
        EXPECT_EQ(record.code, c.code);
        EXPECT_EQ(record.time.size(), 20u);
        EXPECT_EQ(record.kind, c.kind);
        EXPECT_EQ(record.group, c.group);
        EXPECT_EQ(record.target, c.target);
        EXPECT_EQ(record.state, c.state);
        EXPECT_EQ(record.line, c.line);
    }
}

TEST(ChangeRecords, LinesOfAnotherShapeKeepOnlyTheirText) {
    for (const char* line :
         {"", "Change", "Change 5 2026-12-07T09:27:44Z ASMITH ADD MEMBER applied",
          "Change x 2026-12-07T09:27:44Z ASMITH ADD MEMBER ENG-ALL EGRAY applied",
          "Change 5 2026-12-07T09:27:44Z ASMITH FROBNICATE ENG-ALL EGRAY applied",
          "Change 5 2026-12-07T09:27:44Z ASMITH ADD MEMBER ENG-ALL EGRAY done",
          "Change 5 2026-12-07T09:27:44Z ASMITH ADD MEMBER ENG-ALL EGRAY rejected soon",
          "No change log entry 99."}) {
        ChangeRecord record;
        record.kind = "left over";
        EXPECT_FALSE(ParseChangeRecord(line, record)) << line;
        EXPECT_EQ(record.line, line);
        EXPECT_EQ(record.number, 0);
        EXPECT_EQ(record.code, 0);
        EXPECT_EQ(record.kind, "");
        EXPECT_EQ(record.state, "");
    }
}

}  // namespace
