// What the administration server answers to one request: parsing, the client and token
// checks, the journal, and the one writer of the domain's directory.
#include "server/service.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "admin/reply.h"
#include "admin/user_token.h"
#include "server/connection.h"
#include "server/reply_codes.h"
#include "session/format.h"
#include "server/text.h"

namespace zn::server {
namespace {

// A client reads the text up to the next comma: none may appear inside it.
std::string Reply(long result, long code, std::string text) {
    for (char& c : text) {
        if (c == ',' || c == '\r' || c == '\n') {
            c = ';';
        }
    }
    return std::to_string(result) + "," + std::to_string(code) + "," + text;
}

std::string Refusal(long code, const std::string& text) { return Reply(0, code, text); }


NewChange Describe(const ParsedRequest& request, const std::string& text, const Client& client) {
    const RequestFields& f = request.fields;
    NewChange change;
    change.client = client.text;
    change.userName = f.userName;
    change.request = WithoutToken(text, request);
    change.kind = RequestName(request.kind);
    change.groupName = f.groupName;
    switch (request.kind) {
        case ChangeRequest::kCreateGroup:
        case ChangeRequest::kDeleteGroup:
            // No parent: the group created or deleted is the one the change is about.
            change.groupName = f.targetName;
            break;
        case ChangeRequest::kModifyGroup:
            change.target = f.targetName.empty() ? f.companyNumber : f.targetName;
            break;
        case ChangeRequest::kSetGenericAttribute: change.target = f.attributeName; break;
        default: change.target = f.targetName; break;
    }
    return change;
}

// Passes a status question on to the server that gave the number and returns its answer as
// it came, when it is one.
std::string AskPeer(const Peer& peer, long number) {
    const std::string unreachable =
        Refusal(kPeerUnreachableCode, FormatText(kPeerUnreachableFormat, number, peer.host.c_str()));
    std::string answer;
    if (!ExchangeWith(peer.host, peer.port, "00002,GET,CHANGE," + std::to_string(number), answer)) {
        return unreachable;
    }
    zn::Reply reply;
    return zn::ParseReply(answer.data(), answer.size(), reply) ? answer : unreachable;
}

std::string RecordRun(const std::vector<JournalEntry>& entries) {
    std::string run;
    for (const JournalEntry& entry : entries) {
        run += LogRecordText(entry) + "]*";
    }
    return run + kEndOfDataRecord + "]";
}

}  // namespace

void Stopwatch::Lap(Phase phase) {
    const Clock::time_point now = Clock::now();
    m_spent[static_cast<int>(phase)] += now - m_last;
    m_last = now;
}

std::string Stopwatch::Text() const {
    auto ms = [](Clock::duration d) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f",
                      std::chrono::duration<double, std::milli>(d).count());
        return std::string(text);
    };
    return "in " + ms(m_last - m_start) + " ms: checks " + ms(m_spent[0]) + ", journal " +
           ms(m_spent[1]) + ", directory " + ms(m_spent[2]);
}

std::string WithoutToken(const std::string& request, const ParsedRequest& parsed) {
    if (parsed.userToken.empty()) {
        return request;
    }
    std::string text = request;
    std::size_t at = text.find("," + parsed.userToken);
    if (at != std::string::npos) {
        text.replace(at + 1, parsed.userToken.size(), "-");
    }
    return text;
}

void Log(const std::string& line) {
    static std::mutex lock;
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &parts);
    std::lock_guard<std::mutex> hold(lock);
    std::fprintf(stderr, "%s zngroups-admind: %s\n", stamp, line.c_str());
    std::fflush(stderr);
}

AdminService::AdminService(Journal& journal, ChangeApplier& applier,
                           std::vector<Network> allowChanges)
    : m_journal(journal), m_applier(applier), m_allowChanges(std::move(allowChanges)) {}

std::string AdminService::Answer(const std::string& request, bool tooLong, const Client& client) {
    if (tooLong) {
        Log(client.text + " refused: request longer than " + std::to_string(kMaxRequestLength));
        return Refusal(kRequestTooLongCode, kRequestTooLongText);
    }
    ParsedRequest parsed;
    switch (ParseChangeRequest(request, parsed)) {
        case ParseOutcome::kComplete:
        case ParseOutcome::kMayContinue: break;
        case ParseOutcome::kIncomplete:
            Log(client.text + " refused: incomplete request");
            return Refusal(kIncompleteRequestCode, kIncompleteRequestText);
        case ParseOutcome::kMalformed:
            Log(client.text + " refused: malformed request");
            return Refusal(kMalformedRequestCode, kMalformedRequestText);
        case ParseOutcome::kUnknown:
            Log(client.text + " refused: unknown request");
            return Refusal(kUnknownRequestCode, kUnknownRequestText);
    }
    if (!IsChange(parsed.kind)) {
        return AnswerQuery(parsed);
    }
    return AnswerChange(parsed, request, client);
}

std::string AdminService::AnswerQuery(const ParsedRequest& request) {
    const long number = request.fields.number;
    JournalEntry entry;
    switch (request.kind) {
        case ChangeRequest::kGetChangeStatus:
            if (!m_journal.Find(number, entry)) {
                if (const Peer* peer = PeerFor(number)) {
                    return AskPeer(*peer, number);
                }
                return Refusal(kUnknownChangeCode, FormatText(kUnknownChangeFormat, number));
            }
            if (entry.state == ChangeState::kApplied) {
                return Reply(1, kChangeAppliedStatus, FormatText(kChangeAppliedFormat, number));
            }
            if (entry.state == ChangeState::kPending) {
                return Reply(1, kChangePendingStatus, FormatText(kChangePendingFormat, number));
            }
            return Reply(1, entry.code, entry.reason);
        case ChangeRequest::kGetChangeLogEntry:
            if (!m_journal.Find(number, entry)) {
                return Refusal(kUnknownLogEntryCode, FormatText(kUnknownLogEntryFormat, number));
            }
            return Reply(1, 1, LogRecordText(entry));
        default: {
            bool ok = false;
            std::vector<JournalEntry> entries = m_journal.GroupLog(request.fields.groupName, ok);
            // Without the end record the client reports a failed answer rather than an
            // empty log.
            return ok ? RecordRun(entries) : std::string();
        }
    }
}

std::string AdminService::AnswerChange(const ParsedRequest& request, const std::string& text,
                                       const Client& client) {
    bool allowed = false;
    for (const Network& network : m_allowChanges) {
        allowed = allowed || network.Contains(client.address);
    }
    if (!allowed) {
        Log(client.text + " refused: not allowed to send changes");
        return Refusal(kClientNotAllowedCode,
                       FormatText(kClientNotAllowedFormat, client.text.c_str()));
    }
    const NewChange change = Describe(request, text, client);
    if (request.userToken != MakeUserToken(request.fields.userName)) {
        // Journalled in the named group's log: an attempt to act under someone else's name
        // belongs to that group's history.
        long number = m_journal.RecordRejected(change, {Upper(change.groupName)}, kTokenMismatchCode,
                                               kTokenMismatchText);
        Log(client.text + " change " + std::to_string(number) + " " + change.request +
            ": token mismatch");
        return Refusal(kTokenMismatchCode, kTokenMismatchText);
    }
    std::lock_guard<std::mutex> hold(m_writer);
    if (m_unfinished != 0) {
        ReconcileLocked();
    }
    ChangePlan plan;
    Stopwatch watch;
    Verdict verdict = m_applier.Check(request, plan);
    watch.Lap(Phase::kChecks);
    if (!verdict.Ok()) {
        long number = m_journal.RecordRejected(change, plan.logGroups, verdict.code, verdict.text);
        Log(client.text + " change " + std::to_string(number) + " " + change.request +
            ": refused " + std::to_string(verdict.code) + " " + verdict.text);
        return Refusal(verdict.code, verdict.text);
    }
    return ApplyAccepted(change, plan, watch);
}

std::string AdminService::ApplyAccepted(const NewChange& change, const ChangePlan& plan,
                                        Stopwatch& watch) {
    const long number = m_journal.RecordPending(change, plan.logGroups, plan.Serialize());
    watch.Lap(Phase::kJournal);
    if (number == 0) {
        Log(change.client + " " + change.request + ": journal write failed");
        return Refusal(kJournalFailureCode, kJournalFailureText);
    }
    std::string prefix = change.client + " change " + std::to_string(number) + " " +
                         change.request + ": ";
    if (plan.kind == ChangeRequest::kResetGroupChangeLogs) {
        // Only the journal changes, in one transaction with the change's own state.
        if (!m_journal.CompleteReset(number, change.groupName)) {
            if (!m_journal.Complete(number, ChangeState::kRejected, kJournalFailureCode,
                                    kJournalFailureText)) {
                ++m_unfinished;
            }
            return Refusal(kJournalFailureCode, kJournalFailureText);
        }
        Log(prefix + "applied");
        return Reply(1, kChangeAppliedStatus, FormatText(kChangeAppliedFormat, number));
    }
    if (m_pauseAfterJournal > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_pauseAfterJournal));
    }
    bool touched = false;
    Verdict verdict = m_applier.Apply(plan, touched);
    watch.Lap(Phase::kDirectory);
    if (verdict.Ok()) {
        if (!plan.renamedFrom.empty()) {
            m_journal.RenameGroupLog(plan.renamedFrom, plan.renamedTo);
        }
        if (!m_journal.Complete(number, ChangeState::kApplied, kChangeAppliedStatus, std::string())) {
            ++m_unfinished;
        }
        watch.Lap(Phase::kJournal);
        Log(prefix + "applied " + watch.Text());
        return Reply(1, kChangeAppliedStatus, FormatText(kChangeAppliedFormat, number));
    }
    if (!touched) {
        if (!m_journal.Complete(number, ChangeState::kRejected, verdict.code, verdict.text)) {
            ++m_unfinished;
        }
        Log(prefix + "rejected " + std::to_string(verdict.code) + " " + verdict.text);
        return Refusal(verdict.code, verdict.text);
    }
    // Part of the change is in the directory: it stays pending and the next change (or the
    // next start) completes it; the client learns the number to ask about.
    ++m_unfinished;
    Log(prefix + "unfinished: " + verdict.text);
    return Refusal(kChangeUnfinishedCode,
                   FormatText(kChangeUnfinishedFormat, number, verdict.text.c_str()));
}

const Peer* AdminService::PeerFor(long number) const {
    // Ranges run from each first number up to the next: this server's own, and its peers'.
    long ownEnd = 0;
    for (const Peer& peer : m_peers) {
        if (peer.first > m_firstChangeNumber && (ownEnd == 0 || peer.first < ownEnd)) {
            ownEnd = peer.first;
        }
    }
    if (number >= m_firstChangeNumber && (ownEnd == 0 || number < ownEnd)) {
        return nullptr;
    }
    const Peer* holder = nullptr;
    for (const Peer& peer : m_peers) {
        if (peer.first <= number && (holder == nullptr || peer.first > holder->first)) {
            holder = &peer;
        }
    }
    // A peer's range ends where this server's begins.
    if (holder != nullptr && holder->first < m_firstChangeNumber && number >= m_firstChangeNumber) {
        return nullptr;
    }
    return holder;
}

std::size_t AdminService::Reconcile() {
    std::lock_guard<std::mutex> hold(m_writer);
    return ReconcileLocked();
}

std::size_t AdminService::ReconcileLocked() {
    m_unfinished = ReconcileJournal();
    return m_unfinished;
}

std::size_t AdminService::ReconcileJournal() {
    std::size_t remaining = 0;
    for (const JournalEntry& entry : m_journal.Pending()) {
        ChangePlan plan;
        std::string prefix = "change " + std::to_string(entry.number) + " " +
                             entry.change.request + ": ";
        if (!ChangePlan::Deserialize(entry.plan, plan)) {
            m_journal.Complete(entry.number, ChangeState::kRejected, kInterruptedCode,
                               kInterruptedText);
            Log(prefix + "unreadable plan; marked rejected");
            continue;
        }
        Verdict failure;
        ChangeApplier::Reached reached = plan.kind == ChangeRequest::kResetGroupChangeLogs
                                             ? ChangeApplier::Reached::kNo
                                             : m_applier.FirstWriteReached(plan, failure);
        if (reached == ChangeApplier::Reached::kNo) {
            m_journal.Complete(entry.number, ChangeState::kRejected, kInterruptedCode,
                               kInterruptedText);
            Log(prefix + "not in the directory; marked rejected");
            continue;
        }
        bool touched = false;
        Verdict verdict = reached == ChangeApplier::Reached::kYes ? m_applier.Apply(plan, touched)
                                                                  : failure;
        if (reached == ChangeApplier::Reached::kYes && verdict.Ok()) {
            if (!plan.renamedFrom.empty()) {
                m_journal.RenameGroupLog(plan.renamedFrom, plan.renamedTo);
            }
            m_journal.Complete(entry.number, ChangeState::kApplied, kChangeAppliedStatus,
                               std::string());
            Log(prefix + "completed after an interruption");
            continue;
        }
        ++remaining;
        Log(prefix + "still pending: " + verdict.text);
    }
    return remaining;
}

}  // namespace zn::server
