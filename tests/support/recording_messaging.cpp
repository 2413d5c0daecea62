// CZIPCLite that records what it is given, or fails on request, instead of spooling.
#include "tests/support/recording_messaging.h"

#include <stdexcept>

#include "messaging/czipc_lite.h"

namespace zntest {
namespace {

std::vector<SentMessage> g_sent;
MessagingFault g_fault = MessagingFault::kNone;
std::string g_text;

}  // namespace

void RecordingMessaging::Reset() {
    g_sent.clear();
    g_fault = MessagingFault::kNone;
    g_text.clear();
}

void RecordingMessaging::Fail(MessagingFault fault, const std::string& text) {
    g_fault = fault;
    g_text = text;
}

const std::vector<SentMessage>& RecordingMessaging::Sent() {
    return g_sent;
}

}  // namespace zntest

using zntest::MessagingFault;

CZIPCLite::CZIPCLite() {
    if (zntest::g_fault == MessagingFault::kConstructorThrowsCZIPCError) {
        throw CZIPCError(zntest::g_text);
    }
}

CZIPCLite::~CZIPCLite() = default;

void CZIPCLite::SendAsync(const zni::CIPCMessage& message) {
    switch (zntest::g_fault) {
        case MessagingFault::kSendThrowsCZIPCError:
            throw CZIPCError(zntest::g_text);
        case MessagingFault::kSendThrowsStandardException:
            throw std::runtime_error(zntest::g_text);
        case MessagingFault::kSendThrowsInt:
            throw 42;
        default:
            break;
    }
    zntest::g_sent.push_back({message.GetSource(), message.GetDestination(), message.GetReplyTo(),
                              message.GetContents()});
}
