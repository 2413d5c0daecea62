"""zngroups.set_option: the process's own TLS settings, winning over the file and environment."""

from __future__ import annotations

import ctypes
from typing import Optional

from . import _library

#: The keys set_option takes.
OPTION_KEYS = ("tls", "tls-ca", "tls-verify", "admin-tls")


def set_option(key: str, value: Optional[str]) -> None:
    """Sets one of the library's settings for the whole process: "tls" ("off", "starttls",
    "ldaps"), "tls-ca" (a PEM file of trusted authorities), "tls-verify" ("on", "off") or
    "admin-tls" ("on", "off"). It wins over ZNGROUPS_TLS and the others and over the
    configuration file, for every Group and Worker from the next connection on; None removes
    the process's own value. An unknown key or a value the key cannot take raises ValueError
    and changes nothing."""
    native = _library.function("zng_set_option", ctypes.c_long,
                               (ctypes.c_char_p, ctypes.c_char_p))
    raw_value = None if value is None else _library.encode(value)
    if native(_library.encode(key), raw_value) != 1:
        error = _library.function("zng_option_error", ctypes.c_char_p, ())
        raise ValueError(_library.decode(error()))
