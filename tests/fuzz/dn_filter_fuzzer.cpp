// Names read out of DNs, and caller text escaped into filters.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "session/directory_base.h"
#include "session/format.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// Undoes the filter escapes; false when the text holds a bare special character or an
// escape that is not two hexadecimal digits.
bool Unescape(const std::string& escaped, std::string& value) {
    value.clear();
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        const char c = escaped[i];
        if (c == '*' || c == '(' || c == ')' || c == '\0') return false;
        if (c != '\\') {
            value += c;
            continue;
        }
        if (i + 2 >= escaped.size()) return false;
        if (!std::isxdigit(static_cast<unsigned char>(escaped[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(escaped[i + 2]))) {
            return false;
        }
        const char hex[3] = {escaped[i + 1], escaped[i + 2], '\0'};
        value += static_cast<char>(std::strtol(hex, nullptr, 16));
        i += 2;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // A DN arrives as a C string; the name in it is never longer than the DN.
    const std::string name = zn::CZNDirectoryBase::NameFromDN(text.c_str());
    FUZZ_CHECK(name.size() <= std::strlen(text.c_str()));
    FUZZ_CHECK(name.find('\0') == std::string::npos || text.find('\\') != std::string::npos);

    // Escaped, caller text stands for itself only: nothing in it is filter syntax, and the
    // escapes give back exactly what was given.
    const std::string escaped = zn::EscapeFilterValue(text);
    std::string back;
    FUZZ_CHECK(Unescape(escaped, back));
    FUZZ_CHECK(back == text);
    return 0;
}
