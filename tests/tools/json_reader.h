// A small JSON reader for the tool tests: the tool's answers are parsed, never compared as text.
#pragma once

#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace zntest {

struct Json {
    enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = Kind::kNull;
    bool boolean = false;
    double number = 0;
    std::string string;
    std::vector<Json> items;
    std::map<std::string, Json> members;

    // The member `key`; throws when there is none, so a missing field fails the test loudly.
    const Json& operator[](const std::string& key) const {
        auto it = members.find(key);
        if (kind != Kind::kObject || it == members.end())
            throw std::runtime_error("no member " + key);
        return it->second;
    }
    std::vector<std::string> Strings() const {
        std::vector<std::string> out;
        for (const Json& item : items) out.push_back(item.string);
        return out;
    }
};

class JsonReader {
  public:
    // Parses the whole text as one value; throws std::runtime_error on anything else.
    static Json Parse(const std::string& text) {
        JsonReader reader(text);
        Json value = reader.Value();
        reader.Space();
        if (reader.m_at != text.size()) reader.Fail("text after the value");
        return value;
    }

  private:
    explicit JsonReader(const std::string& text) : m_text(text) {}

    [[noreturn]] void Fail(const char* what) const {
        throw std::runtime_error(std::string(what) + " at " + std::to_string(m_at) + " in " +
                                 m_text);
    }
    void Space() {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\n' ||
                                        m_text[m_at] == '\t' || m_text[m_at] == '\r'))
            ++m_at;
    }
    bool Take(char c) {
        Space();
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool Word(const char* word) {
        const std::string w(word);
        if (m_text.compare(m_at, w.size(), w) != 0) return false;
        m_at += w.size();
        return true;
    }
    std::string String() {
        if (!Take('"')) Fail("expected a string");
        std::string out;
        while (m_at < m_text.size() && m_text[m_at] != '"') {
            char c = m_text[m_at++];
            if (static_cast<unsigned char>(c) < 0x20) Fail("control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_at >= m_text.size()) Fail("cut escape");
            char e = m_text[m_at++];
            switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case '/':
                case '\\':
                case '"':
                    out += e;
                    break;
                case 'u': {
                    if (m_at + 4 > m_text.size()) Fail("cut \\u escape");
                    long code = std::strtol(m_text.substr(m_at, 4).c_str(), nullptr, 16);
                    m_at += 4;
                    out += static_cast<char>(code);  // the tool escapes control characters only
                    break;
                }
                default:
                    Fail("unknown escape");
            }
        }
        if (m_at >= m_text.size()) Fail("unterminated string");
        ++m_at;
        return out;
    }
    Json Value() {
        Space();
        Json v;
        if (m_at >= m_text.size()) Fail("expected a value");
        char c = m_text[m_at];
        if (c == '{') {
            ++m_at;
            v.kind = Json::Kind::kObject;
            if (Take('}')) return v;
            do {
                std::string key = String();
                if (!Take(':')) Fail("expected ':'");
                if (v.members.count(key)) Fail("duplicate key");
                v.members[key] = Value();
            } while (Take(','));
            if (!Take('}')) Fail("expected '}'");
        } else if (c == '[') {
            ++m_at;
            v.kind = Json::Kind::kArray;
            if (Take(']')) return v;
            do {
                v.items.push_back(Value());
            } while (Take(','));
            if (!Take(']')) Fail("expected ']'");
        } else if (c == '"') {
            v.kind = Json::Kind::kString;
            v.string = String();
        } else if (Word("true") || Word("false")) {
            v.kind = Json::Kind::kBool;
            v.boolean = c == 't';
        } else if (Word("null")) {
            v.kind = Json::Kind::kNull;
        } else {
            char* end = nullptr;
            v.number = std::strtod(m_text.c_str() + m_at, &end);
            if (end == m_text.c_str() + m_at) Fail("expected a value");
            v.kind = Json::Kind::kNumber;
            m_at = static_cast<std::size_t>(end - m_text.c_str());
        }
        return v;
    }

    const std::string& m_text;
    std::size_t m_at = 0;
};

}  // namespace zntest
