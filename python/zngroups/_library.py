"""Loading libzngroups and calling its C functions through ctypes.

The C interface declares its functions one per operation and overload; the argument types
of a call follow from the Python values given (text, whole numbers), so a prototype is
built the first time a function is used rather than declared here for all of them.
"""

from __future__ import annotations

import ctypes
import functools
import os
from typing import Any, Callable, List, Optional, Union

# The major version of the shared library's SONAME, which changes only with its ABI.
_SONAME = "libzngroups.so.0"
_WINDOWS_NAME = "zngroups.dll"

#: The environment variable that names the library file to load instead.
LIBRARY_VARIABLE = "ZNGROUPS_LIBRARY"

# The C interface speaks the system's ANSI code page: UTF-8 on Linux, the active code page
# on Windows. Undecodable bytes survive a round trip through the binding.
_ENCODING = "mbcs" if os.name == "nt" else "utf-8"
_ENCODE_ERRORS = "strict" if os.name == "nt" else "surrogateescape"
_DECODE_ERRORS = "replace" if os.name == "nt" else "surrogateescape"

Argument = Union[str, int]


#: The Debian package that installs the library (the Python package is pure Python).
LIBRARY_PACKAGE = "zngroups"


class LibraryNotFound(OSError):
    """The shared library could not be loaded; the message says what to install or set."""


@functools.lru_cache(maxsize=None)
def library() -> ctypes.CDLL:
    """The loaded library: ``$ZNGROUPS_LIBRARY`` when set, else the installed one by name."""
    path = os.environ.get(LIBRARY_VARIABLE)
    try:
        if path:
            return ctypes.CDLL(path)
        return ctypes.CDLL(_WINDOWS_NAME if os.name == "nt" else _SONAME)
    except OSError as error:
        if path:
            raise LibraryNotFound(f"cannot load {path}, the library that {LIBRARY_VARIABLE} "
                                  f"names: {error}") from error
        raise LibraryNotFound(
            f"cannot load the zngroups library ({error}): install the package "
            f"{LIBRARY_PACKAGE!r} that ships it (apt-get install {LIBRARY_PACKAGE}, or "
            f"cmake --install from the source tree), or set {LIBRARY_VARIABLE} to the "
            f"library's file") from error


def encode(text: str) -> bytes:
    """Text for a C argument. A NUL would end it early on the C side, silently naming
    something else, so it is refused here."""
    if not isinstance(text, str):
        raise TypeError(f"expected str, got {type(text).__name__}")
    if "\0" in text:
        raise ValueError(f"embedded null character in {text!r}")
    return text.encode(_ENCODING, _ENCODE_ERRORS)


def decode(raw: Optional[bytes]) -> str:
    """A C string result as text (NULL reads as empty)."""
    return raw.decode(_ENCODING, _DECODE_ERRORS) if raw else ""


@functools.lru_cache(maxsize=None)
def function(name: str, restype: Any, argtypes: tuple) -> Callable[..., Any]:
    """The C function `name` with its prototype set."""
    native = getattr(library(), name)
    native.restype = restype
    native.argtypes = list(argtypes)
    return native


def call(name: str, restype: Any, *arguments: Any) -> Any:
    """Calls `name` with ctypes arguments derived from the Python ones: a handle (c_void_p)
    as it is, str as text, int as a C long."""
    argtypes: List[Any] = []
    converted: List[Any] = []
    for argument in arguments:
        if isinstance(argument, ctypes.c_void_p):
            argtypes.append(ctypes.c_void_p)
            converted.append(argument)
        elif isinstance(argument, str):
            argtypes.append(ctypes.c_char_p)
            converted.append(encode(argument))
        elif isinstance(argument, int) and not isinstance(argument, bool):
            argtypes.append(ctypes.c_long)
            converted.append(argument)
        else:
            raise TypeError(f"{name}: unexpected argument {argument!r}")
    return function(name, restype, tuple(argtypes))(*converted)


def list_names(kind: str, handle: Optional[int]) -> list:
    """The names in a group, worker or string list the library returned (kind: "group",
    "worker" or "string")."""
    if not handle:
        return []
    pointer = ctypes.c_void_p(handle)
    count = function(f"zng_{kind}_list_count", ctypes.c_size_t, (ctypes.c_void_p,))(pointer)
    element = "at" if kind == "string" else "name"
    accessor = function(f"zng_{kind}_list_{element}", ctypes.c_char_p,
                        (ctypes.c_void_p, ctypes.c_size_t))
    return [decode(accessor(pointer, index)) for index in range(count)]


def status_kind(code: int) -> int:
    """The library's kind of a status code (0 success, 1 not found, 3 refused,
    4 unreachable)."""
    return function("zng_status_kind", ctypes.c_long, (ctypes.c_long,))(code)


def change_list_count(pointer: int) -> int:
    count: int = function("zng_change_list_count", ctypes.c_size_t, (ctypes.c_void_p,))(pointer)
    return count


def change_list_field(pointer: int, index: int, name: str) -> Any:
    """A field of a change record: number and code as int, the others as text."""
    restype = ctypes.c_long if name in ("number", "code") else ctypes.c_char_p
    value = function(f"zng_change_list_{name}", restype,
                     (ctypes.c_void_p, ctypes.c_size_t))(pointer, index)
    return value if restype is ctypes.c_long else decode(value)
