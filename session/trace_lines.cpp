// Trace records as lines: fields as name=value, texts quoted so that one with spaces stays one
// field.
#include "session/trace_lines.h"

#include "session/format.h"

namespace zn::trace {
namespace {

constexpr const char* kBindFormat = "bind server=%s dn=%s code=%ld ms=%.1f transport=%s";
constexpr const char* kSearchFormat =
    "search server=%s base=%s filter=%s attributes=%s code=%ld entries=%lu ms=%.1f";
constexpr const char* kAdminFormat =
    "admin server=%s:%u request=%s result=%ld code=%ld text=%s records=%lu ms=%.1f transport=%s";

// Quotes inside are escaped.
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

std::string BindLine(const BindRecord& record) {
    return FormatText(kBindFormat, record.server,
                      record.bindDN != nullptr ? Quoted(record.bindDN).c_str() : "anonymous",
                      record.ldapCode, record.milliseconds, Quoted(record.transport).c_str());
}

std::string SearchLine(const SearchRecord& record) {
    return FormatText(kSearchFormat, record.server, Quoted(record.base).c_str(),
                      Quoted(record.filter).c_str(), AttributeList(record.attributes).c_str(),
                      record.ldapCode, static_cast<unsigned long>(record.entries),
                      record.milliseconds);
}

std::string AdminLine(const AdminRecord& record) {
    return FormatText(kAdminFormat, record.server, record.port, Quoted(record.request).c_str(),
                      record.result, record.code, Quoted(record.text).c_str(),
                      static_cast<unsigned long>(record.records), record.milliseconds,
                      Quoted(record.transport).c_str());
}

}  // namespace zn::trace
