// The session methods both exported classes forward unchanged to their implementation object.
#pragma once

// Defines the error-status and time-out methods of Facade, whose member m_impl points to an
// object derived from CZNDirectoryBase.
#define ZN_FORWARD_SESSION_METHODS(Facade)                                  \
    long Facade::GetErrorStatusCode() const {                               \
        return m_impl->GetErrorStatusCode();                                \
    }                                                                       \
    const std::string& Facade::GetErrorStatusText() const {                 \
        return m_impl->GetErrorStatusText();                                \
    }                                                                       \
    long Facade::GetConnectTimeOutSeconds() const {                         \
        return m_impl->GetConnectTimeOutSeconds();                          \
    }                                                                       \
    long Facade::GetConnectTimeOutMicroSeconds() const {                    \
        return m_impl->GetConnectTimeOutMicroSeconds();                     \
    }                                                                       \
    long Facade::GetSearchTimeOutSeconds() const {                          \
        return m_impl->GetSearchTimeOutSeconds();                           \
    }                                                                       \
    long Facade::GetSearchTimeOutMicroSeconds() const {                     \
        return m_impl->GetSearchTimeOutMicroSeconds();                      \
    }                                                                       \
    long Facade::GetTimeOut() const {                                       \
        return m_impl->GetTimeOut();                                        \
    }                                                                       \
    void Facade::SetConnectTimeOut(long seconds, long microSeconds) const { \
        m_impl->SetConnectTimeOut(seconds, microSeconds);                   \
    }                                                                       \
    void Facade::SetSearchTimeOut(long seconds, long microSeconds) const {  \
        m_impl->SetSearchTimeOut(seconds, microSeconds);                    \
    }                                                                       \
    void Facade::SetTimeOut(long seconds) const {                           \
        m_impl->SetTimeOut(seconds);                                        \
    }
