// What --trace prints: one line per bind, search and administration request.
#include "tools/trace_output.h"

#include <cstdio>
#include <string>

#include "session/trace_lines.h"
#include "tools/cli.h"

namespace zntool {

void TraceOutput::OnBind(const zn::trace::BindRecord& record) {
    if (Progress* progress = m_context.CurrentProgress()) {
        progress->SetPhase(std::string("connecting to ") + record.server);
    }
    if (!m_print) return;
    std::fprintf(stderr, "trace: %s\n", zn::trace::BindLine(record).c_str());
}

void TraceOutput::OnSearch(const zn::trace::SearchRecord& record) {
    if (Progress* progress = m_context.CurrentProgress()) {
        progress->SetPhase(std::string("reading from ") + record.server);
        progress->AddEntries(record.entries);
    }
    if (!m_print) return;
    std::fprintf(stderr, "trace: %s\n", zn::trace::SearchLine(record).c_str());
}

void TraceOutput::OnAdminRequest(const zn::trace::AdminRecord& record) {
    if (!m_print) return;
    std::fprintf(stderr, "trace: %s\n", zn::trace::AdminLine(record).c_str());
}

}  // namespace zntool
