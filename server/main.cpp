// zngroups-admind: the administration server of one domain. Applies the change requests of
// zngroups clients to the directory and answers questions about them.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/changes.h"
#include "server/config.h"
#include "server/journal.h"
#include "server/listener.h"
#include "server/requester_proof.h"
#include "server/service.h"
#include "server/writer_lock.h"
#include "zngroups_config.h"

namespace {

zn::server::Listener* g_listener = nullptr;

extern "C" void OnStopSignal(int) {
    if (g_listener != nullptr) {
        g_listener->Stop();
    }
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "zngroups-admind: %s\n", message.c_str());
    return 1;
}

// One repair, journalled like any change so that every value it moves is on record.
bool Repair(zn::server::ChangeApplier& applier, zn::server::Journal& journal,
            const zn::server::ChangePlan& plan, zn::server::NewChange change) {
    using namespace zn::server;
    change.client = "zngroups-admind --repair";
    change.userName = "zngroups-admind";
    const long number = journal.RecordPending(change, plan.logGroups, plan.Serialize());
    bool touched = false;
    Verdict verdict = number != 0 ? applier.Apply(plan, touched) : Verdict{1, "journal"};
    if (number == 0 || !verdict.Ok()) {
        if (number != 0)
            journal.Complete(number, ChangeState::kRejected, verdict.code, verdict.text);
        std::printf("  not repaired: %s\n",
                    number == 0 ? "the journal cannot be written" : verdict.text.c_str());
        return false;
    }
    journal.Complete(number, ChangeState::kApplied, 1, std::string());
    std::printf("  repaired as change %ld\n", number);
    return true;
}

// --check and --repair: one pass over every group, reported on standard output. A repair
// holds the writer's lock throughout, so a serving server's changes wait for it and none
// comes between what it reads and what it writes.
int CheckClosures(zn::server::ChangeApplier& applier, zn::server::Journal& journal, bool repair,
                  zn::server::WriterLock& writer) {
    using namespace zn::server;
    std::unique_lock<WriterLock> hold(writer, std::defer_lock);
    if (repair) hold.lock();
    // Half links first: the closures below count whole links only.
    std::vector<ChangeApplier::HalfLink> halves;
    Verdict read = applier.FindHalfLinks(halves);
    if (!read.Ok()) return Fail(read.text);
    int failures = 0;
    for (const ChangeApplier::HalfLink& half : halves) {
        std::printf("%s > %s: half a link, only in %s's %s\n", half.parentName.c_str(),
                    half.childName.c_str(),
                    (half.parentSide ? half.parentName : half.childName).c_str(),
                    half.parentSide ? "subGroup" : "superGroup");
        NewChange change;
        change.request = "repair of half a link";
        change.kind = "REPAIR HALF LINK";
        change.groupName = half.parentName;
        change.target = half.childName;
        if (repair && !Repair(applier, journal, applier.RepairPlan(half), change)) ++failures;
    }
    std::vector<ChangeApplier::Drift> drifts;
    if (!(read = applier.FindDrifts(drifts)).Ok()) return Fail(read.text);
    for (const ChangeApplier::Drift& drift : drifts) {
        std::printf("%s: %zu missing, %zu extra\n", drift.name.c_str(), drift.missing.size(),
                    drift.extra.size());
        for (const std::string& dn : drift.missing) std::printf("  + %s\n", dn.c_str());
        for (const std::string& dn : drift.extra) std::printf("  - %s\n", dn.c_str());
        NewChange change;
        change.request = "repair of the eventual members";
        change.kind = "REPAIR EVENTUAL MEMBERS";
        change.groupName = drift.name;
        change.target = "+" + std::to_string(drift.missing.size()) + " -" + std::to_string(drift.extra.size());
        if (repair && !Repair(applier, journal, applier.RepairPlan(drift), change)) ++failures;
    }
    const std::size_t found = halves.size() + drifts.size();
    if (repair) {
        std::printf("%zu half link(s) and group(s) repaired, %d not\n", found - failures, failures);
    } else {
        std::printf(
            "%zu half link(s), %zu group(s) whose eventual members differ from their closure\n",
            halves.size(), drifts.size());
    }
    std::fflush(stdout);
    if (failures != 0) return 1;
    return !repair && found != 0 ? 3 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace zn::server;
    Config config;
    std::string error;
    switch (ParseCommandLine(argc, argv, config, error)) {
        case CommandLine::kHelp: std::fputs(kUsageText, stdout); return 0;
        case CommandLine::kVersion: std::printf("zngroups-admind %s\n", ZNGROUPS_VERSION); return 0;
        case CommandLine::kError:
            std::fprintf(stderr, "zngroups-admind: %s\nTry 'zngroups-admind --help'.\n",
                         error.c_str());
            return 2;
        case CommandLine::kRun: break;
    }
    if (config.baseDN.empty()) {
        return Fail("no base DN: give --base-dn or base-dn in the configuration file");
    }
    DirectorySettings directory{config.directoryUri, config.bindDN, "", config.baseDN,
                                config.directoryTimeoutMilliseconds};
    if (!config.passwordFile.empty() &&
        !ReadPasswordFile(config.passwordFile, directory.password, error)) {
        return Fail(error);
    }
    std::unique_ptr<Journal> journal = Journal::Open(config.journalPath, config.firstChangeNumber, error);
    if (!journal) {
        return Fail(error);
    }
    std::signal(SIGPIPE, SIG_IGN);
    ChangeApplier applier(directory);
    if (config.task != Task::kServe) {
        WriterLock writer;
        if (config.task == Task::kRepair && !writer.Open(config.journalPath, error))
            return Fail(error);
        return CheckClosures(applier, *journal, config.task == Task::kRepair, writer);
    }
    AdminService service(*journal, applier, config.allowChanges);
    if (!service.ShareWriter(config.journalPath, error)) return Fail(error);
    service.SetWriteBound(config.maxValuesPerMinute);
    service.SetPeers(config.firstChangeNumber, config.peers);
    if (const char* pause = std::getenv("ZNGROUPS_ADMIND_PAUSE_AFTER_JOURNAL_MS")) {
        service.SetPauseAfterJournal(std::atoi(pause));
        Log(std::string("fault injection: pausing ") + pause + " ms after journalling each change");
    }
    std::string allowed;
    for (const Network& network : config.allowChanges) {
        allowed += (allowed.empty() ? "" : ", ") + network.Text();
    }
    Log("changes are accepted from " + allowed);
    ServerTls tls;
    if (!config.tlsCertificate.empty() && !tls.Load(config.tlsCertificate, config.tlsKey, error)) {
        return Fail(error);
    }
    tls.KeepConnections(config.keepAliveMilliseconds > 0);
    // Proofs are checked whenever a client sends one; with require-proof a change needs one.
    std::unique_ptr<RequesterProof> prover;
    if (tls.Loaded()) {
        prover = std::make_unique<RequesterProof>(directory);
        service.SetProof(prover.get(), config.requireProof);
        Log(std::string("TLS on every connection; changes ") +
            (config.requireProof ? "need proof of the requester" : "are taken without proof") +
            (config.keepAliveMilliseconds > 0
                 ? "; connections kept " + std::to_string(config.keepAliveMilliseconds) +
                       " ms for a next request when the client asks"
                 : std::string("; one request per connection")));
    }
    Listener listener;
    if (!listener.Open(config.listenAddress, config.port, error)) {
        return Fail(error);
    }
    std::size_t pending = service.Reconcile();
    if (pending != 0) {
        Log(std::to_string(pending) + " change(s) still pending; retried before the next change");
    }
    g_listener = &listener;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    for (const std::string& setting : config.obsoleteSettings) {
        Log("the setting " + setting + " is no longer used: a request ends by its layout and "
            "its last segment");
    }
    Log("listening on " + config.listenAddress + ":" + std::to_string(listener.Port()) +
        " for " + config.baseDN + " at " + config.directoryUri);
    const bool served = listener.Serve(service, config, error, tls.Loaded() ? &tls : nullptr);
    g_listener = nullptr;
    if (!served) return Fail(error);
    Log("stopped");
    return 0;
}
