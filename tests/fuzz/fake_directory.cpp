// The fake LDAP back end behind the directory targets; see fake_directory.h.
#include "tests/fuzz/fake_directory.h"

#include <cstring>
#include <memory>

#include "platform/ldap_client.h"

struct ldap {
    int unused = 0;
};
struct ldapmsg {
    std::vector<std::unique_ptr<ldapmsg>> entries;   // of a chain
    const zntest::fuzz::FakeEntry* entry = nullptr;  // of an entry
    ldapmsg* chain = nullptr;
    std::size_t index = 0;
};
struct berelement {
    std::size_t next = 0;
};

namespace zntest::fuzz {
namespace {

FakeAnswer g_answer;
long g_outstanding = 0;
long g_searches = 0;

char* Copy(const std::string& text) {
    ++g_outstanding;
    char* copy = new char[text.size() + 1];
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

const std::vector<std::string>* ValuesOf(const FakeEntry& entry, const char* name) {
    for (const auto& attribute : entry.attributes) {
        if (attribute.first == name) return &attribute.second;
    }
    return nullptr;
}

}  // namespace

FakeAnswer ReadAnswer(const std::uint8_t* data, std::size_t size) {
    FakeAnswer answer;
    if (size == 0) return answer;
    // Mostly success, so the walk is reached; now and then a failure, with entries still.
    static const long kCodes[] = {0, 0, 0, 0, 4, 81, 85, 87, 1, 32};
    answer.searchCode = kCodes[data[0] % (sizeof kCodes / sizeof kCodes[0])];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const std::size_t colon = line.find(": ");
        const std::string name = line.substr(0, colon);
        if (name == "dn" || name == "-") {
            answer.entries.emplace_back();
            answer.entries.back().hasDn = name == "dn";
            if (colon != std::string::npos) answer.entries.back().dn = line.substr(colon + 2);
            continue;
        }
        if (answer.entries.empty()) answer.entries.emplace_back();
        auto& attributes = answer.entries.back().attributes;
        if (attributes.empty() || attributes.back().first != name) {
            attributes.emplace_back(name, std::vector<std::string>());
        }
        if (colon != std::string::npos) attributes.back().second.push_back(line.substr(colon + 2));
    }
    return answer;
}

void Answer(const FakeAnswer& answer) {
    g_answer = answer;
    g_searches = 0;
}

long Outstanding() {
    return g_outstanding;
}
long Searches() {
    return g_searches;
}

}  // namespace zntest::fuzz

namespace zn::ldapapi {

using zntest::fuzz::g_outstanding;

long ClassicCode(int nativeCode) {
    return nativeCode;
}

Handle* Init(const char*, int) {
    ++g_outstanding;
    return new ldap;
}
Handle* InitTls(const char* host, const TlsOptions&) {
    return Init(host, kLdapsPort);
}
TlsOutcome StartTls(Handle*, const TlsOptions&, TimeValue, long&, const char*&) {
    return TlsOutcome::kSecured;
}
long SetProtocolVersion3(Handle*) {
    return 0;
}
void BoundConnectWait(Handle*, TimeValue) {}
bool GetLastError(Handle*, long& code) {
    code = kServerDown;
    return true;
}
long Bind(Handle*, const char*, const char*, int) {
    return 1;
}
long Result(Handle*, long, int, TimeValue, Message** result) {
    ++g_outstanding;
    *result = new ldapmsg;
    return 0x61;  // a bind response
}
void Abandon(Handle*, long) {}
long Result2Error(Handle*, Message* result) {
    MsgFree(result);
    return kSuccess;
}
const char* Err2String(long code) {
    return code == kSuccess ? "Success" : "Failure";
}

long SearchSt(Handle*, const char*, int, const char* filter, const char* const*, int, TimeValue,
              Message** result) {
    ++zntest::fuzz::g_searches;
    // Whatever the caller built must still be one C string within the filter buffer.
    if (filter == nullptr || std::strlen(filter) >= 256) std::abort();
    ++g_outstanding;
    auto* chain = new ldapmsg;
    for (std::size_t i = 0; i < zntest::fuzz::g_answer.entries.size(); ++i) {
        auto entry = std::make_unique<ldapmsg>();
        entry->entry = &zntest::fuzz::g_answer.entries[i];
        entry->chain = chain;
        entry->index = i;
        chain->entries.push_back(std::move(entry));
    }
    *result = chain;
    return zntest::fuzz::g_answer.searchCode;
}

Message* FirstEntry(Handle*, Message* chain) {
    return chain != nullptr && !chain->entries.empty() ? chain->entries.front().get() : nullptr;
}
Message* NextEntry(Handle*, Message* entry) {
    const std::size_t next = entry->index + 1;
    return next < entry->chain->entries.size() ? entry->chain->entries[next].get() : nullptr;
}
char* FirstAttribute(Handle*, Message* entry, BerElement** position) {
    ++g_outstanding;
    *position = new berelement;
    return NextAttribute(nullptr, entry, *position);
}
char* NextAttribute(Handle*, Message* entry, BerElement* position) {
    const auto& attributes = entry->entry->attributes;
    if (position->next >= attributes.size()) return nullptr;
    return zntest::fuzz::Copy(attributes[position->next++].first);
}
char** GetValues(Handle*, Message* entry, const char* attribute) {
    const std::vector<std::string>* values = zntest::fuzz::ValuesOf(*entry->entry, attribute);
    if (values == nullptr || values->empty()) return nullptr;
    ++g_outstanding;
    char** array = new char*[values->size() + 1];
    for (std::size_t i = 0; i < values->size(); ++i) {
        array[i] = new char[(*values)[i].size() + 1];
        std::memcpy(array[i], (*values)[i].c_str(), (*values)[i].size() + 1);
    }
    array[values->size()] = nullptr;
    return array;
}
long CountValues(char** values) {
    long count = 0;
    while (values != nullptr && values[count] != nullptr) ++count;
    return count;
}
void ValueFree(char** values) {
    if (values == nullptr) return;
    --g_outstanding;
    for (char** value = values; *value != nullptr; ++value) delete[] * value;
    delete[] values;
}
void VisitValues(Handle* handle, Message* entry, AttributeVisit visit, void* context) {
    VisitValuesByCopy(handle, entry, visit, context);
}
// Streamed searches (loads of a company-sized list) are not part of the fuzzed answers: the
// library falls back to its ordinary searches.
long SearchExt(Handle*, const char*, int, const char*, const char* const*, TimeValue,
               long& code) {
    code = kServerDown;
    return -1;
}

char* GetDn(Handle*, Message* entry) {
    return entry->entry->hasDn ? zntest::fuzz::Copy(entry->entry->dn) : nullptr;
}
void MemFree(char* memory) {
    if (memory == nullptr) return;
    --g_outstanding;
    delete[] memory;
}
void BerFree(BerElement* position) {
    if (position == nullptr) return;
    --g_outstanding;
    delete position;
}
void MsgFree(Message* chain) {
    if (chain == nullptr) return;
    --g_outstanding;
    delete chain;
}
void Unbind(Handle* handle) {
    if (handle == nullptr) return;
    --g_outstanding;
    delete handle;
}

}  // namespace zn::ldapapi
