// The session methods both exported classes forward unchanged to their implementation object.
#pragma once

// Defines the error-status and time-out methods of Facade, whose Impl() gives its
// implementation object, derived from CZNDirectoryBase.
#define ZN_FORWARD_SESSION_METHODS(Facade)                                  \
    long Facade::GetErrorStatusCode() const {                               \
        return Impl().GetErrorStatusCode();                                 \
    }                                                                       \
    const std::string& Facade::GetErrorStatusText() const {                 \
        return Impl().GetErrorStatusText();                                 \
    }                                                                       \
    long Facade::GetConnectTimeOutSeconds() const {                         \
        return Impl().GetConnectTimeOutSeconds();                           \
    }                                                                       \
    long Facade::GetConnectTimeOutMicroSeconds() const {                    \
        return Impl().GetConnectTimeOutMicroSeconds();                      \
    }                                                                       \
    long Facade::GetSearchTimeOutSeconds() const {                          \
        return Impl().GetSearchTimeOutSeconds();                            \
    }                                                                       \
    long Facade::GetSearchTimeOutMicroSeconds() const {                     \
        return Impl().GetSearchTimeOutMicroSeconds();                       \
    }                                                                       \
    long Facade::GetTimeOut() const {                                       \
        return Impl().GetTimeOut();                                         \
    }                                                                       \
    void Facade::SetConnectTimeOut(long seconds, long microSeconds) const { \
        Impl().SetConnectTimeOut(seconds, microSeconds);                    \
    }                                                                       \
    void Facade::SetSearchTimeOut(long seconds, long microSeconds) const {  \
        Impl().SetSearchTimeOut(seconds, microSeconds);                     \
    }                                                                       \
    void Facade::SetTimeOut(long seconds) const {                           \
        Impl().SetTimeOut(seconds);                                         \
    }
