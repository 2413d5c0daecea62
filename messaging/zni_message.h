// Message and exception classes of the messaging component (namespace zni).
#pragma once

#include <exception>
#include <string>

#include "messaging/zni_api.h"

namespace zni {

class ZNI_API CMessage {
  public:
    virtual ~CMessage();
};

// One message: where it comes from, where it goes, where answers would go, and its contents.
// The local spool carries only the destination and the contents (see CZIPCLite).
class ZNI_API CIPCMessage : public CMessage {
  public:
    CIPCMessage(std::string source, std::string destination, std::string replyTo,
                std::string contents);
    ~CIPCMessage() override;

    const std::string& GetSource() const { return m_source; }
    const std::string& GetDestination() const { return m_destination; }
    const std::string& GetReplyTo() const { return m_replyTo; }
    const std::string& GetContents() const { return m_contents; }

  private:
    std::string m_source;
    std::string m_destination;
    std::string m_replyTo;
    std::string m_contents;
};

class ZNI_API CZNException : public std::exception {
  public:
    explicit CZNException(std::string message);
    ~CZNException() override;

    const char* what() const noexcept override;
    virtual std::string ReportErrorMessage() const;

  private:
    std::string m_message;
};

}  // namespace zni
