// CZIPCLite: hands each message to the local spool without waiting for a consumer.
#include "messaging/czipc_lite.h"

#include "messaging/spool.h"

#include <filesystem>
#include <system_error>

CZIPCLite::CZIPCLite() : m_spoolRoot(zni::spool::RootFromEnvironment()) {}

CZIPCLite::~CZIPCLite() = default;

void CZIPCLite::SendAsync(const zni::CIPCMessage& message) {
    // A spool file has nowhere to keep a sender or an answer address, and nothing would
    // ever answer: refusing beats dropping them silently.
    if (!message.GetSource().empty() || !message.GetReplyTo().empty()) {
        throw CZIPCError("the message spool carries no source or reply address");
    }
    // Only the default root is made: one that ZNI_SPOOL names and that is missing is a
    // mistake the sender reports.
    if (zni::spool::kSenderMakesDefaultRoot && m_spoolRoot == zni::spool::DefaultRoot()) {
        // What fails here, Deliver reports as a spool that is not available.
        std::error_code ignored;
        std::filesystem::create_directories(m_spoolRoot, ignored);
    }
    std::string problem =
        zni::spool::Deliver(m_spoolRoot, message.GetDestination(), message.GetContents());
    if (!problem.empty()) throw CZIPCError(problem);
}
