// --with FIELD[,FIELD...]: the details listed beside each person or group of a list, chosen
// by the keys `show --json` prints, and the text table they are shown in.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zntool {

template <typename Object>
struct Detail {
    std::string key;
    std::string label;
    std::function<std::string(const Object&)> read;
};

// The details `with` names, in its order, out of `known`; "all" names every one. False with
// the problem (listing the known keys) when a name is unknown.
template <typename Object>
bool ChooseDetails(const std::string& with, const std::vector<Detail<Object>>& known,
                   std::vector<Detail<Object>>& chosen, std::string& problem) {
    for (std::size_t at = 0; at <= with.size();) {
        std::size_t end = with.find(',', at);
        if (end == std::string::npos) end = with.size();
        const std::string key = with.substr(at, end - at);
        at = end + 1;
        const std::size_t before = chosen.size();
        for (const Detail<Object>& detail : known) {
            if (key == "all" || key == detail.key) chosen.push_back(detail);
        }
        if (chosen.size() == before) {
            problem = "unknown field '" + key + "' for --with; fields:";
            for (const Detail<Object>& detail : known) problem += " " + detail.key;
            problem += ", or all";
            return false;
        }
    }
    return true;
}

// Lines of a table: a header of labels, then a row per object, each column as wide as its
// widest cell.
std::vector<std::string> Columns(const std::vector<std::vector<std::string>>& rows);

}  // namespace zntool
