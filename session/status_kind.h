// What a status code means to the caller: not found, refused or unreachable. The zngroups
// tool's exit statuses and the Python package's exceptions both come from this one table.
#pragma once

namespace zn::status {

// The values are the tool's exit statuses, and ZNG_STATUS_... of the C interface.
enum class Kind : long { kSuccess = 0, kNotFound = 1, kRefused = 3, kUnreachable = 4 };

Kind KindOf(long code);

}  // namespace zn::status
