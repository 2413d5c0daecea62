// The kind of a status code, for applications and language bindings over the C interface.
#include "session/status_kind.h"
#include "zngroups.h"

static_assert(static_cast<long>(zn::status::Kind::kSuccess) == ZNG_STATUS_SUCCESS);
static_assert(static_cast<long>(zn::status::Kind::kNotFound) == ZNG_STATUS_NOT_FOUND);
static_assert(static_cast<long>(zn::status::Kind::kRefused) == ZNG_STATUS_REFUSED);
static_assert(static_cast<long>(zn::status::Kind::kUnreachable) == ZNG_STATUS_UNREACHABLE);

extern "C" {

long zng_status_kind(long code) { return static_cast<long>(zn::status::KindOf(code)); }

}  // extern "C"
