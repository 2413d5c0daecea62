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

}  // namespace zn
