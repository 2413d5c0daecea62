// CZIPCLite, the sender of the messaging component, and its exception CZIPCError.
#pragma once

#include <cstddef>
#include <string>

#include "messaging/zni_api.h"
#include "messaging/zni_message.h"

class ZNI_API CZIPCError : public zni::CZNException {
  public:
    explicit CZIPCError(std::string message);
    ~CZIPCError() override;
};

// Hands messages to the local spool, one file per message in a folder that mirrors the
// destination address; a consumer (tools/zni-spool, or a forwarder) takes them from there.
// SendAsync never waits for a consumer. It throws CZIPCError when the message cannot be
// handed off: spool missing or not writable, invalid address, message too large, or a source
// or reply address, which a one-way spool cannot honour.
class ZNI_API CZIPCLite {
  public:
    // The spool root: the ZNI_SPOOL environment variable, else the platform's default
    // (/var/spool/zni; on Windows %ProgramData%\ZNI\spool, made on the first send).
    CZIPCLite();
    virtual ~CZIPCLite();

    CZIPCLite(const CZIPCLite&) = delete;
    CZIPCLite& operator=(const CZIPCLite&) = delete;

    void SendAsync(const zni::CIPCMessage& message);

    const std::string& GetSpoolRoot() const { return m_spoolRoot; }

  private:
    std::string m_spoolRoot;
};
