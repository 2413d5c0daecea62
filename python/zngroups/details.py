"""Members and groups with their details, read together: one search for a few hundred
people or groups (one search of every person when a list is most of the company) rather
than one per person or group."""

from __future__ import annotations

import ctypes
import dataclasses
import re
from typing import Any, Callable, Dict, List, Optional, Type, TypeVar

from . import _library
from .errors import Unreachable, error_for

_SUCCESS = 1


@dataclasses.dataclass(frozen=True)
class MemberDetails:
    """A person of a list with the attributes Worker's getters give. `error` is None for a
    person found, else the library's reason (the person has gone since the listing, say),
    with every attribute empty."""

    user_name: str
    worker_number: int
    dn: str
    full_name: str
    given_name: str
    sur_name: str
    display_name: str
    job_title: str
    employee_type: str
    email_address: str
    phone_number: str
    fax_number: str
    pager_number: str
    office_location: str
    mail_stop: str
    street: str
    city: str
    state: str
    zip_code: str
    country: str
    company_name: str
    company_number: str
    cost_center: str
    cost_center_description: str
    department: str
    shift_code: str
    ship_to_street: str
    ship_to_city: str
    ship_to_state: str
    ship_to_zip_code: str
    ship_to_country: str
    supervisor_user_name: str
    error: Optional[str] = None


@dataclasses.dataclass(frozen=True)
class GroupDetails:
    """A group of a list with its entry's attributes; mail_aliased is "Y", "N" or "". `error`
    is None for a group found, else the library's reason, with every attribute empty."""

    name: str
    description: str
    company_number: str
    organizational_unit: str
    mail_aliased: str
    error: Optional[str] = None


Details = TypeVar("Details", MemberDetails, GroupDetails)


def _key(field: str) -> str:
    """The library's key of a snake_case field: full_name -> fullName."""
    return re.sub(r"_([a-z])", lambda m: m.group(1).upper(), field)


def _load(kind: str, pointer: Optional[int], cls: Type[Details], name_field: str,
          converters: Dict[str, Callable[[str], Any]]) -> List[Details]:
    if not pointer:
        return []
    handle = ctypes.c_void_p(pointer)
    function = _library.function
    count = function(f"zng_{kind}_list_count", ctypes.c_size_t, (ctypes.c_void_p,))(handle)
    function(f"zng_{kind}_list_load", ctypes.c_long, (ctypes.c_void_p,))(handle)
    indexed = (ctypes.c_void_p, ctypes.c_size_t)
    name_of = function(f"zng_{kind}_list_name", ctypes.c_char_p, indexed)
    code_of = function(f"zng_{kind}_list_status_code", ctypes.c_long, indexed)
    text_of = function(f"zng_{kind}_list_status_text", ctypes.c_char_p, indexed)
    detail = function(f"zng_{kind}_list_detail", ctypes.c_char_p,
                      indexed + (ctypes.c_char_p,))
    fields = [f.name for f in dataclasses.fields(cls) if f.name not in (name_field, "error")]
    keys = [_key(field).encode() for field in fields]
    found: List[Details] = []
    for index in range(count):
        values: Dict[str, Any] = {name_field: _library.decode(name_of(handle, index))}
        code = code_of(handle, index)
        if code == _SUCCESS:
            for field, key in zip(fields, keys):
                raw = _library.decode(detail(handle, index, key))
                values[field] = converters.get(field, str)(raw)
        else:
            reason = _library.decode(text_of(handle, index))
            if isinstance(error_for(code, reason), Unreachable):
                # Nobody could be asked: not an answer about this person or group.
                raise error_for(code, reason)
            values.update({field: converters.get(field, str)("") for field in fields})
            values["error"] = reason
        found.append(cls(**values))
    return found


def members(pointer: Optional[int]) -> List[MemberDetails]:
    """The details of every worker of a worker list the library returned."""
    return _load("worker", pointer, MemberDetails, "user_name",
                 {"worker_number": lambda raw: int(raw or 0)})


def groups(pointer: Optional[int]) -> List[GroupDetails]:
    """The details of every group of a group list the library returned."""
    return _load("group", pointer, GroupDetails, "name", {})
