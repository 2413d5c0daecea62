"""zngroups.set_trace: the library's trace lines, handed to a Python function."""

from __future__ import annotations

import ctypes
from typing import Any, Callable, Optional

from . import _library

_TRACE_FUNCTION = ctypes.CFUNCTYPE(None, ctypes.c_char_p, ctypes.c_void_p)
_receiver: Optional[Callable[[str], Any]] = None


def _deliver(line: Optional[bytes], _context: Any) -> None:
    receiver = _receiver
    if receiver is not None:
        receiver(_library.decode(line))


# One callback for the life of the process: the library may still be calling it on another
# thread when the receiver changes, so it is never freed.
_CALLBACK = _TRACE_FUNCTION(_deliver)


def set_trace(receiver: Optional[Callable[[str], Any]]) -> None:
    """Calls `receiver` with each line `zngroups --trace` prints (after "trace: "): one per
    bind, LDAP search and administration request of every Group and Worker in the process,
    user tokens shown as <token>, passwords never. It is called on the thread that does the
    work; an exception it raises is printed and ignored. None stops tracing."""
    global _receiver
    native = _library.function("zng_set_trace", None, (_TRACE_FUNCTION, ctypes.c_void_p))
    _receiver = receiver
    native(_CALLBACK if receiver is not None else ctypes.cast(0, _TRACE_FUNCTION), None)
