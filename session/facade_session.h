// The session methods both exported classes forward unchanged to their implementation object.
#pragma once

#include <string>

namespace zn {

// A C-string argument copied on entry (null stays null): it may point into the object's own
// state, which the call may rewrite before it is done with the argument.
class OwnedText {
  public:
    explicit OwnedText(const char* text) : m_null(text == nullptr), m_text(text ? text : "") {}
    const char* get() const { return m_null ? nullptr : m_text.c_str(); }

  private:
    bool m_null;
    std::string m_text;
};

}  // namespace zn

// Defines the error-status and time-out methods of Facade, whose Impl() gives its
// implementation object, derived from CZNDirectoryBase. The questions read `session`, which
// answers for an object not yet used without making its implementation object.
#define ZN_FORWARD_SESSION_METHODS(Facade, session)                         \
    long Facade::GetErrorStatusCode() const {                               \
        return session.GetErrorStatusCode();                                 \
    }                                                                       \
    const std::string& Facade::GetErrorStatusText() const {                 \
        return session.GetErrorStatusText();                                 \
    }                                                                       \
    long Facade::GetConnectTimeOutSeconds() const {                         \
        return session.GetConnectTimeOutSeconds();                           \
    }                                                                       \
    long Facade::GetConnectTimeOutMicroSeconds() const {                    \
        return session.GetConnectTimeOutMicroSeconds();                      \
    }                                                                       \
    long Facade::GetSearchTimeOutSeconds() const {                          \
        return session.GetSearchTimeOutSeconds();                            \
    }                                                                       \
    long Facade::GetSearchTimeOutMicroSeconds() const {                     \
        return session.GetSearchTimeOutMicroSeconds();                       \
    }                                                                       \
    long Facade::GetTimeOut() const {                                       \
        return session.GetTimeOut();                                         \
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
