// zni-spool: lists, shows and drains the messages waiting in the local message spool.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "messaging/spool.h"

namespace {

namespace spool = zni::spool;

int Usage() {
    std::fprintf(stderr,
                 "usage: zni-spool [--root DIR] list  [ADDRESS]   one line per message\n"
                 "       zni-spool [--root DIR] show  [ADDRESS]   every message with its text\n"
                 "       zni-spool [--root DIR] drain [ADDRESS]   show, then remove them\n"
                 "The spool is DIR, else $%s, else %s; ADDRESS limits the\n"
                 "output to one destination and the ones below it (/BRANTOR/ZNI/...).\n",
                 spool::kRootVariable, spool::DefaultRoot().c_str());
    return 2;
}

bool Print(const spool::Entry& entry, const std::string& contents) {
    std::printf("== %s/%s\n", entry.address.c_str(), entry.name.c_str());
    std::fwrite(contents.data(), 1, contents.size(), stdout);
    std::fputc('\n', stdout);
    return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}

// Takes each message before printing it, so that two drains never print one message twice,
// and puts it back when it could not be printed.
int Drain(const std::vector<spool::Entry>& entries) {
    int status = 0;
    for (const spool::Entry& entry : entries) {
        std::string claimed, contents, error;
        if (!spool::Claim(entry, claimed, error)) {
            if (!error.empty()) {
                std::fprintf(stderr, "zni-spool: %s\n", error.c_str());
                status = 1;
            }
            continue;
        }
        if (!spool::ReadMessage(claimed, contents, error) || !Print(entry, contents)) {
            std::rename(claimed.c_str(), entry.path.c_str());
            std::fprintf(stderr, "zni-spool: %s\n",
                         error.empty() ? "cannot write the output" : error.c_str());
            return 1;
        }
        unlink(claimed.c_str());
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root = spool::RootFromEnvironment();
    int next = 1;
    if (next + 1 < argc && std::strcmp(argv[next], "--root") == 0) {
        root = argv[next + 1];
        next += 2;
    }
    if (next >= argc || argc - next > 2) return Usage();
    const std::string command = argv[next];
    const std::string address = next + 1 < argc ? argv[next + 1] : "";
    if (command != "list" && command != "show" && command != "drain") return Usage();

    std::vector<spool::Entry> entries;
    std::string error;
    if (!spool::List(root, address, entries, error)) {
        std::fprintf(stderr, "zni-spool: %s\n", error.c_str());
        return 1;
    }
    if (command == "drain") return Drain(entries);
    for (const spool::Entry& entry : entries) {
        if (command == "list") {
            std::printf("%s %s %ju\n", entry.address.c_str(), entry.name.c_str(), entry.size);
            continue;
        }
        std::string contents;
        if (!spool::ReadMessage(entry.path, contents, error)) {
            // Drained by someone else since it was listed.
            continue;
        }
        Print(entry, contents);
    }
    return 0;
}
