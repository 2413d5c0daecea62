// JSON and text forms of the tool's answers.
#include "tools/json.h"

#include <cstdio>

namespace zntool {
namespace {

void WriteJsonString(const std::string& text, std::string& out) {
    out += '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(byte));
            out += escape;
        } else {
            // Directory strings are bytes of the code page, passed on as they are.
            out += c;
        }
    }
    out += '"';
}

}  // namespace

void AppendVisible(const std::string& text, std::string& out) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(byte));
            out += escape;
        } else {
            out += c;
        }
    }
}

std::string Visible(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    AppendVisible(text, out);
    return out;
}

Value Value::Bool(bool value) {
    Value v;
    v.m_kind = Kind::kBool;
    v.m_bool = value;
    return v;
}

Value Value::Number(long value) {
    Value v;
    v.m_kind = Kind::kNumber;
    v.m_number = value;
    return v;
}

Value Value::String(std::string value) {
    Value v;
    v.m_kind = Kind::kString;
    v.m_string = std::move(value);
    return v;
}

Value Value::Array() {
    Value v;
    v.m_kind = Kind::kArray;
    return v;
}

Value Value::Strings(std::vector<std::string> items) {
    Value v;
    v.m_kind = Kind::kStrings;
    v.m_strings = std::move(items);
    return v;
}

Value Value::Table(std::vector<std::string> lines) {
    Value value = Strings(std::move(lines));
    value.m_headerLines = value.m_strings.empty() ? 0 : 1;
    return value;
}

Value Value::Object() {
    Value v;
    v.m_kind = Kind::kObject;
    return v;
}

Value& Value::Add(const char* key, const char* label, Value value) {
    m_names.emplace_back(key, label);
    m_items.push_back(std::move(value));
    return *this;
}

Value& Value::Push(Value value) {
    m_items.push_back(std::move(value));
    return *this;
}

void Value::WriteJson(std::string& out) const {
    switch (m_kind) {
        case Kind::kNull:
            out += "null";
            break;
        case Kind::kBool:
            out += m_bool ? "true" : "false";
            break;
        case Kind::kNumber:
            out += std::to_string(m_number);
            break;
        case Kind::kString:
            WriteJsonString(m_string, out);
            break;
        case Kind::kArray:
            out += '[';
            for (std::size_t i = 0; i < m_items.size(); ++i) {
                if (i > 0) out += ',';
                m_items[i].WriteJson(out);
            }
            out += ']';
            break;
        case Kind::kStrings:
            out += '[';
            for (std::size_t i = 0; i < m_strings.size(); ++i) {
                if (i > 0) out += ',';
                WriteJsonString(m_strings[i], out);
            }
            out += ']';
            break;
        case Kind::kObject:
            out += '{';
            for (std::size_t i = 0; i < m_items.size(); ++i) {
                if (i > 0) out += ',';
                WriteJsonString(m_names[i].first, out);
                out += ':';
                m_items[i].WriteJson(out);
            }
            out += '}';
            break;
    }
}

void Value::WriteScalarText(std::string& out) const {
    if (m_kind == Kind::kBool) {
        out += m_bool ? "yes" : "no";
    } else if (m_kind == Kind::kNumber) {
        out += std::to_string(m_number);
    } else if (m_kind == Kind::kString) {
        AppendVisible(m_string, out);
    }
}

void Value::WriteText(std::string& out, int indent) const {
    const std::string pad(static_cast<std::size_t>(indent), ' ');
    if (m_kind == Kind::kStrings) {
        for (const std::string& item : m_strings) {
            out += pad;
            AppendVisible(item, out);
            out += '\n';
        }
    } else if (m_kind == Kind::kArray) {
        for (const Value& item : m_items) {
            if (item.m_kind == Kind::kObject) {
                item.WriteText(out, indent);
                continue;
            }
            out += pad;
            item.WriteScalarText(out);
            out += '\n';
        }
    } else if (m_kind == Kind::kObject) {
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            const Value& value = m_items[i];
            const std::string& label = m_names[i].second;
            const bool array = value.m_kind == Kind::kArray || value.m_kind == Kind::kStrings;
            if (array || value.m_kind == Kind::kObject) {
                out += pad + label;
                if (array) {
                    out += " (" + std::to_string(value.Size()) + ")";
                }
                out += '\n';
                value.WriteText(out, indent + 2);
            } else if (value.m_kind != Kind::kString || !value.m_string.empty()) {
                // Empty attributes are left out of the text, as a card shows only what is set.
                char padded[64];
                std::snprintf(padded, sizeof padded, "%-20s ", label.c_str());
                out += pad + padded;
                value.WriteScalarText(out);
                out += '\n';
            }
        }
    } else if (m_kind != Kind::kNull) {
        out += pad;
        WriteScalarText(out);
        out += '\n';
    }
}

}  // namespace zntool
