// What --trace prints: one line per bind, search and administration request.
#include "tools/trace_output.h"

#include <cstdio>
#include <string>

#include "tools/cli.h"

namespace zntool {
namespace {

// Quoted so that a filter or a reply with spaces stays one field; quotes inside are escaped.
std::string Quoted(const char* text) {
    std::string out = "\"";
    for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
        if (*p == '"' || *p == '\\') out += '\\';
        out += *p;
    }
    return out + "\"";
}

std::string AttributeList(const char* const* attributes) {
    if (attributes == nullptr) return "*";
    std::string out;
    for (const char* const* a = attributes; *a != nullptr; ++a) {
        if (!out.empty()) out += ',';
        out += *a;
    }
    return out;
}

}  // namespace

void TraceOutput::OnBind(const zn::trace::BindRecord& record) {
    if (Progress* progress = m_context.CurrentProgress()) {
        progress->SetPhase(std::string("connecting to ") + record.server);
    }
    if (!m_print) return;
    std::fprintf(stderr, "trace: bind server=%s dn=%s code=%ld ms=%.1f\n", record.server,
                 record.bindDN != nullptr ? Quoted(record.bindDN).c_str() : "anonymous",
                 record.ldapCode, record.milliseconds);
}

void TraceOutput::OnSearch(const zn::trace::SearchRecord& record) {
    if (Progress* progress = m_context.CurrentProgress()) {
        progress->SetPhase(std::string("reading from ") + record.server);
        progress->AddEntries(record.entries);
    }
    if (!m_print) return;
    std::fprintf(stderr,
                 "trace: search server=%s base=%s filter=%s attributes=%s code=%ld entries=%zu "
                 "ms=%.1f\n",
                 record.server, Quoted(record.base).c_str(), Quoted(record.filter).c_str(),
                 AttributeList(record.attributes).c_str(), record.ldapCode, record.entries,
                 record.milliseconds);
}

void TraceOutput::OnAdminRequest(const zn::trace::AdminRecord& record) {
    if (!m_print) return;
    std::fprintf(stderr,
                 "trace: admin server=%s:%u request=%s result=%ld code=%ld text=%s records=%zu "
                 "ms=%.1f\n",
                 record.server, record.port, Quoted(record.request).c_str(), record.result,
                 record.code, Quoted(record.text).c_str(), record.records, record.milliseconds);
}

}  // namespace zntool
