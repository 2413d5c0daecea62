// The one value type the tool's answers are made of, written as JSON or as text.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zntool {

// Text for a terminal: control characters (below 0x20, and 0x7f) written as "\x1b" and the
// like, so that a directory value cannot move the cursor or rewrite the user's screen.
std::string Visible(const std::string& text);
void AppendVisible(const std::string& text, std::string& out);

class Value {
  public:
    // kStrings is an array whose items are all strings, kept as plain strings: a list of
    // 100,000 names costs what the names cost.
    enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject, kStrings };

    Value() = default;
    static Value Bool(bool value);
    static Value Number(long value);
    static Value String(std::string value);
    static Value Array();
    static Value Strings(std::vector<std::string> items);
    // Text lines of a table whose first line is its header, which the count leaves out.
    static Value Table(std::vector<std::string> lines);
    static Value Object();

    // Objects keep their members in the order added; the label names the member in text.
    Value& Add(const char* key, const char* label, Value value);
    Value& Add(const char* key, Value value) { return Add(key, key, std::move(value)); }
    Value& Push(Value value);

    Kind kind() const { return m_kind; }
    std::size_t Size() const {
        return m_kind == Kind::kStrings ? m_strings.size() - m_headerLines : m_items.size();
    }

    // Compact JSON, one line.
    void WriteJson(std::string& out) const;
    // Lines for people: a scalar alone, an array one item a line, an object one member a
    // line (an array member as its label, its count and its items indented).
    void WriteText(std::string& out, int indent = 0) const;

  private:
    Kind m_kind = Kind::kNull;
    bool m_bool = false;
    long m_number = 0;
    std::string m_string;
    std::vector<Value> m_items;
    std::vector<std::string> m_strings;
    std::size_t m_headerLines = 0;
    // An object's members: names and labels beside their values, which m_items holds.
    std::vector<std::pair<std::string, std::string>> m_names;

    void WriteScalarText(std::string& out) const;
};

}  // namespace zntool
