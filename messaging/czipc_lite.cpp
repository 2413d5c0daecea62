// CZIPCLite: hands each message to the local spool without waiting for a consumer.
#include "messaging/czipc_lite.h"

#include "messaging/spool.h"

CZIPCLite::CZIPCLite() : m_spoolRoot(zni::spool::RootFromEnvironment()) {}

CZIPCLite::~CZIPCLite() = default;

void CZIPCLite::SendAsync(const zni::CIPCMessage& message) {
    // A spool file has nowhere to keep a sender or an answer address, and nothing would
    // ever answer: refusing beats dropping them silently.
    if (!message.GetSource().empty() || !message.GetReplyTo().empty()) {
        throw CZIPCError("the message spool carries no source or reply address");
    }
    std::string problem =
        zni::spool::Deliver(m_spoolRoot, message.GetDestination(), message.GetContents());
    if (!problem.empty()) throw CZIPCError(problem);
}
