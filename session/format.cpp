// printf-style formatting into a std::string.
#include "session/format.h"

#include <cstdarg>
#include <cstdio>

namespace zn {

std::string FormatText(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list measuring;
    va_copy(measuring, arguments);
    int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length));
        std::vsnprintf(&text[0], text.size() + 1, format, arguments);
    }
    va_end(arguments);
    return text;
}

std::string EscapeFilterValue(const std::string& value) {
    std::string escaped;
    escaped.reserve(value.size());
    for (char c : value) {
        switch (c) {
            case '*':
                escaped += "\\2a";
                break;
            case '(':
                escaped += "\\28";
                break;
            case ')':
                escaped += "\\29";
                break;
            case '\\':
                escaped += "\\5c";
                break;
            case '\0':
                escaped += "\\00";
                break;
            default:
                escaped += c;
                break;
        }
    }
    return escaped;
}

}  // namespace zn
