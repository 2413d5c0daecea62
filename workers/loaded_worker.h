// What a shared load found for one worker, kept in a few hundred bytes beside a worker that
// has not been used otherwise: a company-sized member list with its details then costs about
// what the directory's answer costs, not a full implementation object per person. Never
// changed once the load is done, so workers of one name share it, across threads too.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace zn {

class LoadedWorker {
  public:
    // One slot per attribute the worker keeps, and the DN.
    static constexpr std::size_t kSlots = 32;  // the bits of `asked`

    // False when the values outgrow the record (tens of kilobytes); the worker is then loaded
    // the full way.
    bool Set(std::size_t slot, const char* value) {
        const std::size_t length = std::strlen(value);
        if (m_values.size() + length + 1 > kMaxOffset) return false;
        m_at[slot] = static_cast<std::uint16_t>(m_values.size() + 1);
        m_values.append(value, length + 1);
        return true;
    }
    bool Has(std::size_t slot) const { return m_at[slot] != 0; }
    // Takes what `later` carries over what this record holds, as a later entry of one user
    // name overwrites an earlier one; false when the values no longer fit.
    bool Overlay(const LoadedWorker& later) {
        for (std::size_t slot = 0; slot < kSlots; ++slot) {
            if (later.Has(slot) && !Set(slot, later.Value(slot))) return false;
        }
        if (later.hasNumber) {
            hasNumber = true;
            number = later.number;
        }
        return true;
    }
    // The value, NUL-terminated; empty for a slot without one.
    const char* Value(std::size_t slot) const {
        return Has(slot) ? m_values.data() + m_at[slot] - 1 : "";
    }

    // The slots the load asked the directory for: all, or those of the attributes named.
    bool Covers(std::size_t slot) const { return ((asked >> slot) & 1U) != 0; }
    bool Complete() const { return asked == kAll; }

    static constexpr std::uint32_t kAll = 0xffffffffU;
    std::uint32_t asked = kAll;
    bool hasNumber = false;
    long number = 0;

  private:
    static constexpr std::size_t kMaxOffset = 0xffff;
    std::string m_values;
    // 1 + the offset of each slot's value in m_values; 0 for none.
    std::array<std::uint16_t, kSlots> m_at{};
};

}  // namespace zn
