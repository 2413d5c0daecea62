// The trace records as one line of text each: what `zngroups --trace` prints after "trace: ",
// and what a trace callback of the C interface receives.
#pragma once

#include <string>

#include "session/trace.h"

namespace zn::trace {

std::string BindLine(const BindRecord& record);
std::string SearchLine(const SearchRecord& record);
std::string AdminLine(const AdminRecord& record);

}  // namespace zn::trace
