"""The exceptions of zngroups: a failure of the library or the administration server."""

from __future__ import annotations

from typing import Dict, Type

from . import _library


class Error(Exception):
    """A failure reported by the library or the administration server.

    Attributes:
        code: the status code (the library's own, 30000 and up; the administration
            server's, 31000 and up; or a Windows Sockets number, 10000 to 11999).
        text: the status text that goes with it.
    """

    def __init__(self, code: int, text: str) -> None:
        super().__init__(code, text)
        self.code = code
        self.text = text

    def __str__(self) -> str:
        return f"{self.text} (status {self.code})"


class NotFound(Error):
    """No such group, worker, domain or change; or a relation that does not hold where one
    was needed. The zngroups tool exits with 1 for these codes."""


class Refused(Error):
    """Refused by the library's checks or by the administration server: privilege, already a
    member, wrong password, an operation the directory does not provide. The zngroups tool
    exits with 3 for these codes."""


class Unreachable(Error):
    """No directory server or administration server answered in time, or the directory
    failed. The zngroups tool exits with 4 for these codes."""


# The library's kinds of status code (zng_status_kind) and the classes that stand for them.
_CLASS_OF_KIND: Dict[int, Type[Error]] = {1: NotFound, 3: Refused, 4: Unreachable}


def error_for(code: int, text: str) -> Error:
    """The exception for a failure with this status; a failure that still carries the
    success code (an answer that was due and did not come) is a refusal, as the tool has it."""
    return _CLASS_OF_KIND.get(_library.status_kind(code), Refused)(code, text)
