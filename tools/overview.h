// zngroups overview: a tour of the sample directory for the demonstration.
#pragma once

namespace zntool {

int RunOverview(const char* domain);

}  // namespace zntool
