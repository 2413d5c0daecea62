// Message and exception classes of the messaging component.
#include <utility>

#include "messaging/czipc_lite.h"
#include "messaging/zni_message.h"

namespace zni {

CMessage::~CMessage() = default;

CIPCMessage::CIPCMessage(std::string source, std::string destination, std::string replyTo,
                         std::string contents)
    : m_source(std::move(source)),
      m_destination(std::move(destination)),
      m_replyTo(std::move(replyTo)),
      m_contents(std::move(contents)) {}

CIPCMessage::~CIPCMessage() = default;

CZNException::CZNException(std::string message) : m_message(std::move(message)) {}

CZNException::~CZNException() = default;

const char* CZNException::what() const noexcept {
    return m_message.c_str();
}

std::string CZNException::ReportErrorMessage() const {
    return m_message;
}

}  // namespace zni

CZIPCError::CZIPCError(std::string message) : zni::CZNException(std::move(message)) {}

CZIPCError::~CZIPCError() = default;
