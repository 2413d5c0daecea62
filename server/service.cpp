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
#include "server/reply_codes.h"
#include "server/text.h"
#include "session/format.h"

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

GroupFate FateOf(const ChangePlan& plan) {
    return GroupFate{plan.deletedGroup, plan.renamedFrom, plan.renamedTo};
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

AdminService::Desk AdminService::DeskFor(const std::string& request, bool tooLong,
                                         ParsedRequest& parsed) {
    if (tooLong) return Desk::kChange;
    switch (ParseChangeRequest(request, parsed)) {
        case ParseOutcome::kComplete:
        case ParseOutcome::kMayContinue:
            break;
        default:
            return Desk::kChange;
    }
    if (IsChange(parsed.kind)) return Desk::kChange;
    return parsed.kind == ChangeRequest::kGetGroupChangeLogs ? Desk::kChangeLog : Desk::kQuestion;
}

std::string AdminService::Answer(const std::string& request, bool tooLong, const Client& client,
                                 const Proof& proof) {
    if (tooLong) {
        LogWithin(m_forgeries, client, "refused: request longer than " + std::to_string(kMaxRequestLength));
        return Refusal(kRequestTooLongCode, kRequestTooLongText);
    }
    ParsedRequest parsed;
    switch (ParseChangeRequest(request, parsed)) {
        case ParseOutcome::kComplete:
        case ParseOutcome::kMayContinue: break;
        case ParseOutcome::kIncomplete:
            LogWithin(m_forgeries, client, "refused: incomplete request");
            return Refusal(kIncompleteRequestCode, kIncompleteRequestText);
        case ParseOutcome::kMalformed:
            LogWithin(m_forgeries, client, "refused: malformed request");
            return Refusal(kMalformedRequestCode, kMalformedRequestText);
        case ParseOutcome::kUnknown:
            LogWithin(m_forgeries, client, "refused: unknown request");
            return Refusal(kUnknownRequestCode, kUnknownRequestText);
    }
    // Questions go to the readers (DeskFor); none is answered on the writer's side.
    if (!IsChange(parsed.kind)) return Refusal(kUnknownRequestCode, kUnknownRequestText);
    ++m_changesInFlight;
    std::string reply = AnswerChange(parsed, request, client, proof);
    --m_changesInFlight;
    return reply;
}

std::string AdminService::AnswerQuestion(const ParsedRequest& request, JournalReader& reader,
                                         const Peer*& forward) {
    const long number = request.fields.number;
    forward = nullptr;
    JournalEntry entry;
    if (!reader.Find(number, entry)) {
        if (request.kind == ChangeRequest::kGetChangeLogEntry) {
            return Refusal(kUnknownLogEntryCode, FormatText(kUnknownLogEntryFormat, number));
        }
        forward = PeerFor(number);
        return forward != nullptr
                   ? std::string()
                   : Refusal(kUnknownChangeCode, FormatText(kUnknownChangeFormat, number));
    }
    if (request.kind == ChangeRequest::kGetChangeLogEntry) return Reply(1, 1, LogRecordText(entry));
    if (entry.state == ChangeState::kApplied) {
        return Reply(1, kChangeAppliedStatus, FormatText(kChangeAppliedFormat, number));
    }
    if (entry.state == ChangeState::kPending) {
        return Reply(1, kChangePendingStatus, FormatText(kChangePendingFormat, number));
    }
    return Reply(1, entry.code, entry.reason);
}

std::string AdminService::PeerReply(const Peer& peer, long number, const std::string& answer) {
    zn::Reply reply;
    if (!answer.empty() && zn::ParseReply(answer.data(), answer.size(), reply)) return answer;
    return Refusal(kPeerUnreachableCode,
                   FormatText(kPeerUnreachableFormat, number, peer.host.c_str()));
}

void AdminService::FlushBudgets(bool all) {
    for (WriteBudget* budget : {&m_refusals, &m_forgeries}) {
        for (const std::string& line : budget->DueLines(all)) Log(line);
    }
}

std::string AdminService::CheckProof(const ParsedRequest& request, const std::string& text,
                                     const Client& client, const Proof& proof) {
    if (!proof.given && !m_proofRequired) return std::string();
    const std::string user = Upper(request.fields.userName);
    Verdict verdict;
    if (proof.malformed) {
        verdict = Verdict{kProofMalformedCode, kProofMalformedText};
    } else if (!proof.given || m_prover == nullptr) {
        verdict = Verdict{kProofRequiredCode, FormatText(kProofRequiredFormat, user.c_str())};
    } else {
        std::string detail;
        switch (m_prover->Verify(request.fields.userName, proof.password, detail)) {
            case ProofChecker::Result::kProven:
                return std::string();
            case ProofChecker::Result::kUnreachable:
                verdict = Verdict{kProofUnverifiableCode, FormatText(kProofUnverifiableFormat,
                                                                     user.c_str(), detail.c_str())};
                break;
            // Whether the person exists is no business of a client that cannot prove it is
            // that person: the same answer either way.
            case ProofChecker::Result::kUnknownPerson:
            case ProofChecker::Result::kWrongPassword:
                verdict = Verdict{kProofFailedCode, FormatText(kProofFailedFormat, user.c_str())};
                break;
        }
    }
    // Like a forged token: the name is not proven to be the sender's, so the refusal is
    // logged (never with the password) and not journalled under anybody's name.
    RecordRefusal(Describe(request, text, client), {}, verdict, client, m_forgeries);
    return Refusal(verdict.code, verdict.text);
}

std::string AdminService::AnswerChange(const ParsedRequest& request, const std::string& text,
                                       const Client& client, const Proof& proof) {
    bool allowed = false;
    for (const Network& network : m_allowChanges) {
        allowed = allowed || network.Contains(client.address);
    }
    if (!allowed) {
        LogWithin(m_forgeries, client, "refused: not allowed to send changes");
        return Refusal(kClientNotAllowedCode,
                       FormatText(kClientNotAllowedFormat, client.text.c_str()));
    }
    if (request.userToken != MakeUserToken(request.fields.userName)) {
        // Not journalled: the name is not the sender's, so the refusal belongs to no one's
        // history, and anyone could fill the journal with them.
        RecordRefusal(Describe(request, text, client), {},
                      Verdict{kTokenMismatchCode, kTokenMismatchText}, client, m_forgeries);
        return Refusal(kTokenMismatchCode, kTokenMismatchText);
    }
    const std::string unproven = CheckProof(request, text, client, proof);
    if (!unproven.empty()) return unproven;
    long wait = 0;
    if (!m_quota.Allows(Upper(request.fields.userName), wait)) {
        // Checked before the directory is read: a requester over the bound costs nothing
        // more, and is in no group's log.
        const Verdict over{kWriteBoundCode,
                           FormatText(kWriteBoundFormat, Upper(request.fields.userName).c_str(),
                                      m_quota.PerMinute(), wait)};
        RecordRefusal(Describe(request, text, client), {}, over, client, m_refusals);
        return Refusal(over.code, over.text);
    }
    std::lock_guard<WriterLock> hold(m_writer);
    if (m_unfinished != 0) {
        ReconcileLocked();
    }
    ChangePlan plan;
    Stopwatch watch;
    Verdict verdict = m_applier.Check(request, plan);
    watch.Lap(Phase::kChecks);
    // The record names the groups by their entries' names, as their logs do.
    ParsedRequest named = request;
    if (!plan.groupName.empty()) named.fields.groupName = plan.groupName;
    if (!plan.targetName.empty()) named.fields.targetName = plan.targetName;
    const NewChange change = Describe(named, text, client);
    if (!verdict.Ok()) {
        RecordRefusal(change, plan.logGroups, verdict, client, m_refusals);
        return Refusal(verdict.code, verdict.text);
    }
    return ApplyAccepted(change, plan, watch);
}

bool AdminService::WithinBudget(WriteBudget& budget, const Client& client,
                                const std::string& requester, const std::string& group) {
    std::string due;
    if (!budget.Take(client.address, requester, group, due)) return false;
    if (!due.empty()) Log(due);
    return true;
}

void AdminService::LogWithin(WriteBudget& budget, const Client& client, const std::string& line) {
    if (WithinBudget(budget, client, std::string(), std::string())) Log(client.text + " " + line);
}

void AdminService::RecordRefusal(const NewChange& change, const std::vector<std::string>& logGroups,
                                 const Verdict& verdict, const Client& client,
                                 WriteBudget& budget) {
    // A forged or unproven name is nobody's: such refusals count against the address alone.
    const bool forged = verdict.code == kTokenMismatchCode || verdict.code == kProofRequiredCode ||
                        verdict.code == kProofFailedCode || verdict.code == kProofMalformedCode ||
                        verdict.code == kProofUnverifiableCode;
    if (!WithinBudget(budget, client, forged ? std::string() : change.userName, change.groupName))
        return;
    // A token mismatch has no requester to log it under, and is not journalled at all.
    const long number =
        forged ? 0 : m_journal.RecordRejected(change, logGroups, verdict.code, verdict.text);
    Log(client.text + (number != 0 ? " change " + std::to_string(number) : std::string()) + " " +
        change.request + ": refused " + std::to_string(verdict.code) + " " + verdict.text);
}

std::string AdminService::ApplyAccepted(const NewChange& change, const ChangePlan& plan,
                                        Stopwatch& watch) {
    const long number = m_journal.RecordPending(change, plan.logGroups, plan.Serialize(), plan.createdGroup);
    watch.Lap(Phase::kJournal);
    if (number == 0) {
        Log(change.client + " " + change.request + ": journal write failed");
        return Refusal(kJournalFailureCode, kJournalFailureText);
    }
    std::string prefix = change.client + " change " + std::to_string(number) + " " +
                         change.request + ": ";
    if (plan.kind == ChangeRequest::kResetGroupChangeLogs) {
        // Only the journal changes, in one transaction with the change's own state.
        m_quota.Charge(Upper(change.userName), plan.logGroups.size());
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
    m_applier.TakeValuesWritten();  // what earlier completions wrote is nobody's
    Verdict verdict = m_applier.Apply(plan, touched);
    m_quota.Charge(Upper(change.userName), m_applier.TakeValuesWritten() + plan.logGroups.size());
    watch.Lap(Phase::kDirectory);
    if (verdict.Ok()) {
        if (!m_journal.Complete(number, ChangeState::kApplied, kChangeAppliedStatus, std::string(),
                                FateOf(plan))) {
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
    std::lock_guard<WriterLock> hold(m_writer);
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
            m_journal.Complete(entry.number, ChangeState::kApplied, kChangeAppliedStatus,
                               std::string(), FateOf(plan));
            Log(prefix + "completed after an interruption");
            continue;
        }
        if (reached == ChangeApplier::Reached::kYes && !verdict.Ok() && !touched &&
            !m_applier.LastFailureWasConnection()) {
            // Refused part way and taken back whole: nothing of it is left.
            m_journal.Complete(entry.number, ChangeState::kRejected, verdict.code, verdict.text);
            Log(prefix + "taken back: " + verdict.text);
            continue;
        }
        // An unreachable directory is no reason to give a change up; one that keeps
        // refusing the rest of it is, or the change would be retried before every other.
        if (!verdict.Ok() && !m_applier.LastFailureWasConnection()) {
            const int tries = m_journal.CountTry(entry.number);
            if (tries >= kMaxTries) {
                const std::string reason = FormatText(kGivenUpFormat, tries, verdict.text.c_str());
                m_journal.Complete(entry.number, ChangeState::kRejected, kGivenUpCode, reason);
                Log(prefix + "given up: " + reason);
                continue;
            }
        }
        ++remaining;
        Log(prefix + "still pending: " + verdict.text);
    }
    return remaining;
}

}  // namespace zn::server
