// The tool's trace sink: --trace lines on standard error, and the progress line's events.
#pragma once

#include "session/trace.h"

namespace zntool {

class Context;

class TraceOutput : public zn::trace::TraceSink {
  public:
    TraceOutput(bool print, Context& context) : m_print(print), m_context(context) {}
    void OnBind(const zn::trace::BindRecord& record) override;
    void OnSearch(const zn::trace::SearchRecord& record) override;
    void OnAdminRequest(const zn::trace::AdminRecord& record) override;

  private:
    bool m_print;
    Context& m_context;
};

}  // namespace zntool
