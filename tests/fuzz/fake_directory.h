// A directory back end that answers every search with entries taken from fuzz input, in
// place of the operating system's LDAP client; it counts what it hands out so a target can
// check that every call gave all of it back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zntest::fuzz {

struct FakeEntry {
    bool hasDn = true;
    std::string dn;
    std::vector<std::pair<std::string, std::vector<std::string>>> attributes;
};

struct FakeAnswer {
    long searchCode = 0;  // what every search returns, with the entries as its chain
    std::vector<FakeEntry> entries;
};

// Reads entries from the input: lines "dn: ..." start an entry, "name: value" lines add a
// value (a repeated name adds to the same attribute), "name" alone an attribute without
// values. The first byte picks the search's result code.
FakeAnswer ReadAnswer(const std::uint8_t* data, std::size_t size);

// Every search from now on answers with `answer`.
void Answer(const FakeAnswer& answer);
// Handles, messages, strings and value arrays handed out and not yet given back.
long Outstanding();
// Searches made since the last Answer.
long Searches();

}  // namespace zntest::fuzz
