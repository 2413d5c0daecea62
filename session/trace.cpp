// The process-wide trace sink.
#include "session/trace.h"

#include <atomic>

namespace zn::trace {
namespace {

std::atomic<TraceSink*> g_sink{nullptr};

}  // namespace

TraceSink* Sink() {
    return g_sink.load(std::memory_order_acquire);
}

void SetSink(TraceSink* sink) {
    g_sink.store(sink, std::memory_order_release);
}

}  // namespace zn::trace
