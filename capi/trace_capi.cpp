// zng_set_trace: the trace lines of the library, handed to a function of the application.
#include <mutex>
#include <string>

#include "session/trace.h"
#include "session/trace_lines.h"
#include "zngroups.h"

namespace {

// One sink for the process, whose function may be replaced while another thread traces: the
// pair is read under the lock and called outside it, so a slow callback holds nobody up.
class CallbackSink : public zn::trace::TraceSink {
  public:
    void Set(zng_trace_function function, void* context) {
        const std::lock_guard<std::mutex> lock(m_guard);
        m_function = function;
        m_context = context;
    }
    void OnBind(const zn::trace::BindRecord& record) override {
        Deliver(zn::trace::BindLine(record));
    }
    void OnSearch(const zn::trace::SearchRecord& record) override {
        Deliver(zn::trace::SearchLine(record));
    }
    void OnAdminRequest(const zn::trace::AdminRecord& record) override {
        Deliver(zn::trace::AdminLine(record));
    }

  private:
    void Deliver(const std::string& line) {
        zng_trace_function function;
        void* context;
        {
            const std::lock_guard<std::mutex> lock(m_guard);
            function = m_function;
            context = m_context;
        }
        if (function != nullptr) function(line.c_str(), context);
    }

    std::mutex m_guard;
    zng_trace_function m_function = nullptr;
    void* m_context = nullptr;
};

CallbackSink& Sink() {
    // Never destroyed: a thread may still trace while the process exits.
    static CallbackSink* sink = new CallbackSink();
    return *sink;
}

}  // namespace

extern "C" {

void zng_set_trace(zng_trace_function function, void* context) {
    try {
        Sink().Set(function, context);
        zn::trace::SetSink(function != nullptr ? &Sink() : nullptr);
    } catch (...) {
    }
}

}  // extern "C"
