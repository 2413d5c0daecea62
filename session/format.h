// printf-style formatting into a std::string, for the system's fixed message formats.
#pragma once

#include <string>

namespace zn {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
FormatText(const char* format, ...);

// The value with the characters that carry meaning in an LDAP filter ('*', '(', ')', '\\',
// NUL) written as escapes, so a name given by a caller matches only itself.
std::string EscapeFilterValue(const std::string& value);

}  // namespace zn
