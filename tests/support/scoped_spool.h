// A private message spool for a test: a fresh folder that ZNI_SPOOL names while it lives.
#pragma once

#include <string>

namespace zntest {

// Sets or removes a variable of this process's environment, which the messaging component
// reads.
void SetEnvironment(const char* name, const std::string& value);
void UnsetEnvironment(const char* name);

class ScopedSpool {
  public:
    ScopedSpool();
    ~ScopedSpool();
    ScopedSpool(const ScopedSpool&) = delete;
    ScopedSpool& operator=(const ScopedSpool&) = delete;

    // Empty when the folder could not be made.
    const std::string& Root() const { return m_root; }

  private:
    std::string m_root;
};

}  // namespace zntest
