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

}  // namespace zn::server
