// Letter case of names and DNs, byte by byte as the directory's names are compared.
#pragma once

#include <cctype>
#include <string>

namespace zn::server {

inline std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

inline std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A name as the directory matches it (case ignored, insignificant spaces dropped): "STAFF "
// and " staff" find the entry STAFF finds.
inline std::string MatchKey(const std::string& text) {
    std::string key;
    for (char c : text) {
        if (c == ' ') {
            if (!key.empty() && key.back() != ' ') key += ' ';
        } else {
            key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    if (!key.empty() && key.back() == ' ') key.pop_back();
    return key;
}

}  // namespace zn::server
