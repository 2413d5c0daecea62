// A recording stand-in for the messaging component's sender, linked into tests in its place.
#pragma once

#include <string>
#include <vector>

namespace zntest {

struct SentMessage {
    std::string source;
    std::string destination;
    std::string replyTo;
    std::string contents;
};

enum class MessagingFault {
    kNone,
    kConstructorThrowsCZIPCError,
    kSendThrowsCZIPCError,
    kSendThrowsStandardException,
    kSendThrowsInt,
};

// Process-wide, like the component it replaces; tests reset it in their fixtures.
class RecordingMessaging {
  public:
    static void Reset();
    // The next senders fail this way, CZIPCError carrying `text`, until the next Reset.
    static void Fail(MessagingFault fault, const std::string& text = "");
    static const std::vector<SentMessage>& Sent();
};

}  // namespace zntest
