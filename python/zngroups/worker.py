"""Worker: a person of the directory."""

from __future__ import annotations

import ctypes
import operator
from typing import Any, List, Optional, Union

from . import _library
from . import details as _details
from .details import GroupDetails
from ._handle import Handle, check, count, names, text


class Worker(Handle):
    """A person of the directory, by user name (kept as given) or by worker number.

    Making one reads nothing; the first attribute asked for reads all of them in one search,
    and later ones are answered from memory. Lists come back as lists of names, checks as
    bool. Failures raise zngroups.Error: NotFound (no such worker or group), Refused,
    Unreachable (no directory server answered in time).

    Args:
        name: the user name ("jdoe") or the worker number (1002); "" for none, as for
            directory-wide queries.
        domain: the domain whose servers to use ("" or None: the local ones); one the
            directory does not list raises NotFound.
        connect_timeout: seconds each bind to a directory server may wait (default 5).
        search_timeout: seconds each search try may take (default 120).

    Directory-wide queries (find, domains, authenticate, ...) are class methods that take
    the same keyword arguments. A Worker may be closed with close() or used in a with block.

    Workers are equal when they were made from the same user name in any case (the
    directory matches user names without regard to case) or from the same worker number,
    in the same domain; a worker made by number is never equal to one made by name, since
    telling would take a search. repr() gives the expression that makes an equal one.
    """

    _prefix = "zng_worker"

    def __init__(self, name: Union[str, int] = "", *, domain: Optional[str] = None,
                 connect_timeout: Optional[float] = None,
                 search_timeout: Optional[float] = None) -> None:
        if isinstance(name, str):
            handle = _library.call("zng_worker_new_named", ctypes.c_void_p, name)
        else:
            name = operator.index(name)
            handle = _library.call("zng_worker_new_numbered", ctypes.c_void_p, name)
        super().__init__(handle, domain, connect_timeout, search_timeout)
        self._identity = name

    def _confirm_exists(self) -> None:
        if not self._call("is_valid_worker", ctypes.c_long):
            self._raise_unless(False)

    @property
    def name(self) -> str:
        """The user name this object carries, as given, without asking the directory."""
        return self._plain_text("get_name")

    # Identity.
    user_name = text("get_user_name", "The user name, in the directory's spelling.")
    number = count("get_worker_number", "The worker number.")
    dn = text("get_worker_d_n", "The distinguished name of the worker's entry.")
    is_valid = check("is_valid", "is_valid_worker",
                     "Whether the directory knows the worker (False when it does not,\n"
                     "Unreachable when no directory server could be asked).")

    # Attributes, read once.
    city = text("get_city", "The city of the worker's office.")
    company_name = text("get_company_name", "The name of the worker's company.")
    company_number = text("get_company_number", "The number of the worker's company.")
    cost_center = text("get_cost_center", "The worker's cost center (also department()).")
    cost_center_description = text("get_cost_center_description",
                                   "What the worker's cost center does.")
    country = text("get_country", "The country of the worker's office.")
    department = text("get_department", "The worker's cost center, under its other name.")
    display_name = text("get_display_name", 'The display name ("Doe, John").')
    email_address = text("get_email_address", "The worker's mail address.")
    employee_type = text("get_employee_type", 'The kind of employment ("Employee").')
    fax_number = text("get_fax_number", "The worker's fax number.")
    full_name = text("get_full_name", 'The full name ("John Doe").')
    given_name = text("get_given_name", "The given name.")
    job_title = text("get_job_title", "The job title.")
    mail_stop = text("get_mail_stop", "The internal mail stop.")
    office_location = text("get_office_location", "The room of the worker's office.")
    pager_number = text("get_pager_number", "The pager number.")
    phone_number = text("get_phone_number", "The first telephone number.")
    shift_code = text("get_shift_code", "The shift code.")
    ship_to_city = text("get_ship_to_city", "The city of the shipping address.")
    ship_to_country = text("get_ship_to_country", "The country of the shipping address.")
    ship_to_state = text("get_ship_to_state", "The state of the shipping address.")
    ship_to_street = text("get_ship_to_street", "The street of the shipping address.")
    ship_to_zip_code = text("get_ship_to_zip_code", "The postal code of the shipping address.")
    state = text("get_state", "The state of the worker's office.")
    street = text("get_street", "The street of the worker's office.")
    supervisor_user_name = text("get_supervisor_user_name", "The supervisor's user name.")
    surname = text("get_surname", "The surname.")
    zip_code = text("get_zip_code", "The postal code of the worker's office.")

    # The worker's groups, as names sorted by name.
    contact_groups = names("group", "get_contact_groups", "The groups the worker is contact of.")
    direct_groups = names("group", "get_direct_groups",
                          "The groups the worker is a direct member of.")
    eventual_groups = names("group", "get_eventual_groups",
                            "The groups the worker is a member of, directly or through a "
                            "subgroup.")
    owner_groups = names("group", "get_owner_groups", "The groups the worker owns.")

    def group_details(self, relation: str = "eventual") -> List[GroupDetails]:
        """The groups of one relation ("owner", "contact", "direct" or "eventual") with
        their description, company number, organizational unit and mail-aliased flag,
        sorted by name and read through a search per few hundred groups rather than one per
        group and attribute."""
        if relation not in ("owner", "contact", "direct", "eventual"):
            raise ValueError(f"relation must be owner, contact, direct or eventual, "
                             f"not {relation!r}")
        with self._lock:
            pointer = self._call(f"get_{relation}_groups", ctypes.c_void_p)
            self._raise_unless(True)
            found = _details.groups(pointer)
            if not found:
                self._confirm_exists()
        return found
    is_valid_contact_group = check("is_valid_contact_group", "is_valid_contact_group",
                                   "Whether the worker is a contact of `group_name`.",
                                   "group_name")
    is_valid_direct_group = check("is_valid_direct_group", "is_valid_direct_group",
                                  "Whether the worker is a direct member of `group_name`.",
                                  "group_name")
    is_valid_eventual_group = check("is_valid_eventual_group", "is_valid_eventual_group",
                                    "Whether the worker is a member of `group_name` at any "
                                    "depth.", "group_name")
    is_valid_owner_group = check("is_valid_owner_group", "is_valid_owner_group",
                                 "Whether the worker owns `group_name`.", "group_name")

    # Directory-wide questions; `settings` are the constructor's keyword arguments.

    @classmethod
    def find(cls, pattern: str, **settings: Any) -> List[str]:
        """User names of the workers whose user name matches `pattern` ('*' is a
        wildcard), sorted. Patterns go to the directory as they are: filter syntax in
        them is the caller's to avoid."""
        return cls(**settings)._names("worker", "find_workers", pattern)

    @classmethod
    def find_by_first_name(cls, pattern: str, **settings: Any) -> List[str]:
        """User names of the workers whose given name matches `pattern`, sorted."""
        return cls(**settings)._names("worker", "find_workers_by_first_name", pattern)

    @classmethod
    def find_by_last_name(cls, pattern: str, **settings: Any) -> List[str]:
        """User names of the workers whose surname matches `pattern`, sorted."""
        return cls(**settings)._names("worker", "find_workers_by_last_name", pattern)

    @classmethod
    def authenticate(cls, user_name: str, password: str, *, allow_generic: bool = True,
                     **settings: Any) -> bool:
        """Whether `password` is `user_name`'s, by a bind as the worker's entry: False for a
        wrong password or an unknown user, and with allow_generic False for the shared
        accounts of ZNGENERICS too; Unreachable when no directory server could be asked."""
        worker = cls(**settings)
        worker._call("set_allow_generic_authentication", None, 1 if allow_generic else 0)
        return worker._check("authenticate", user_name, password)
