"""Group: a mail or distribution group of the directory."""

from __future__ import annotations

import ctypes
import functools
import operator
from typing import Any, List, NamedTuple, Optional

from . import _library
from . import details as _details
from ._handle import _SUCCESS, Handle, change, check, count, names, text
from .details import MemberDetails
from .errors import NotFound, Unreachable, error_for

_SEARCH = "Reads the directory afresh on every call."


class ChangeStatus(NamedTuple):
    """Where a change stands: code 1 applied, 2 pending, else the code that refused it."""

    code: int
    text: str


class ChangeRecord(NamedTuple):
    """One entry of a change log: the change's number, when the administration server received
    it (UTC, ISO 8601), the requester, the kind ("ADD MEMBER"), the group, the target (""
    when the kind has none), the state ("applied", "pending", "rejected") with its code (1, 2
    or the code that rejected it), and the line as the server wrote it. A line of another
    shape keeps only its line."""

    number: int
    time: str
    requester: str
    kind: str
    group: str
    target: str
    state: str
    code: int
    line: str


def _records(pointer: Optional[int]) -> List[ChangeRecord]:
    if not pointer:
        return []
    records = []
    for index in range(_library.change_list_count(pointer)):
        field = functools.partial(_library.change_list_field, pointer, index)
        records.append(ChangeRecord(field("number"), field("time"), field("requester"),
                                    field("kind"), field("group"), field("target"),
                                    field("state"), field("code"), field("line")))
    return records


class Group(Handle):
    """A group of the directory, by name (kept in upper case).

    Making one reads nothing; each query asks the directory servers of the domain, each
    change goes to its administration server. Lists come back as lists of names, checks as
    bool, counts as int, changes as the change's number. Failures raise zngroups.Error:
    NotFound (no such group or worker), Refused (the library's checks or the administration
    server said no), Unreachable (no server answered in time). A group that does not exist
    raises NotFound from every question about it but exists(), which answers False; the
    checks answer False for every no and raise only when no server could be asked.

    Args:
        name: the group's name ("" for none, as for directory-wide queries).
        domain: the domain whose servers to use ("" or None: the local ones); one the
            directory does not list raises NotFound.
        connect_timeout: seconds each bind to a directory server may wait (default 5).
        search_timeout: seconds each search try may take (default 120).

    Directory-wide queries (find, top_groups, domains, ...) are class methods that take the
    same keyword arguments. A Group may be closed with close() or used in a with block; one
    Group is not for two threads at once, and waits for itself if so used. Groups are equal
    when their names and domains are, in any case; repr() gives the expression that makes an
    equal one.
    """

    _prefix = "zng_group"

    def __init__(self, name: str = "", *, domain: Optional[str] = None,
                 connect_timeout: Optional[float] = None,
                 search_timeout: Optional[float] = None) -> None:
        handle = _library.call("zng_group_new_named", ctypes.c_void_p, name)
        super().__init__(handle, domain, connect_timeout, search_timeout)
        self._identity = self.name

    def _confirm_exists(self) -> None:
        if not self._call("is_valid_group", ctypes.c_long):
            self._raise_unless(False)

    def exists(self) -> bool:
        """Whether the directory has this group: False when it has not, Unreachable when no
        directory server could be asked."""
        with self._lock:
            if self._call("is_valid_group", ctypes.c_long):
                return self._answer(1)
            code, text_ = self._status()
            if isinstance(error_for(code, text_), Unreachable):
                raise error_for(code, text_)
            # The library answers a search that failed with "not a valid group" here too;
            # a question that reports its own failure tells an outage from a no.
            self._call("get_super_groups_count", ctypes.c_long)
            code, text_ = self._status()
            if code != _SUCCESS and isinstance(error_for(code, text_), Unreachable):
                raise error_for(code, text_)
            return False

    @property
    def name(self) -> str:
        """The group's name, in upper case and at most 80 characters."""
        return self._plain_text("get_group_name")

    # Attributes.
    company_number = text("get_company_number", "The group's company number.\n\n" + _SEARCH)
    description = text("get_description", "The group's description.\n\n" + _SEARCH)
    organizational_unit = text("get_organizational_unit",
                               "The organizational unit the group belongs to.\n\n" + _SEARCH)
    generic_attribute_value = text("get_generic_attribute_value",
                                   "The first value of any attribute of the group's entry.",
                                   "attribute")

    def mail_aliased_flag(self) -> str:
        """The mail-aliased flag: "Y", "N" or "" when the group has none."""
        code = self._number("get_mail_aliased_flag", owned=True)
        return chr(code) if code else ""

    # People related to the group, as user names sorted by user name.
    contacts = names("worker", "get_contacts", "User names of the group's contacts.")
    direct_members = names("worker", "get_direct_members",
                           "User names of the group's direct members.")
    eventual_members = names("worker", "get_eventual_members",
                             "User names of the members of the group and of all its subgroups.")
    owners = names("worker", "get_owners", "User names of the group's owners.")

    def member_details(self, eventual: bool = False) -> List[MemberDetails]:
        """The direct members (eventual: also those of every subgroup) with every attribute
        Worker gives, sorted by user name, read through a search per few hundred people
        rather than one per person. A member gone since the listing comes with `error` set;
        Unreachable is raised when no directory server could be asked."""
        operation = "get_eventual_members" if eventual else "get_direct_members"
        with self._lock:
            pointer = self._call(operation, ctypes.c_void_p)
            self._raise_unless(True)
            found = _details.members(pointer)
            if not found:
                self._confirm_exists()
        return found
    contacts_count = count("get_contacts_count", "How many contacts the group has.")
    direct_members_count = count("get_direct_members_count",
                                 "How many direct members the group has.")
    eventual_members_count = count("get_eventual_members_count",
                                   "How many eventual members the group has.")
    owners_count = count("get_owners_count", "How many owners the group has.")

    # Groups related to the group, as names sorted by name.
    sub_groups = names("group", "get_sub_groups", "Names of the group's subgroups.")
    super_groups = names("group", "get_super_groups", "Names of the group's supergroups.")
    eventual_super_groups = names(
        "group", "get_eventual_super_groups",
        "Names of every group above this one, walking supergroups upwards, each once.")
    sub_groups_count = count("get_sub_groups_count", "How many subgroups the group has.")
    super_groups_count = count("get_super_groups_count", "How many supergroups the group has.")
    eventual_super_groups_count = count("get_eventual_super_groups_count",
                                        "How many groups are above this one.")

    # Checks.
    is_public = check("is_public", "is_public_group", "Whether the group is public.")
    is_valid_contact = check("is_valid_contact", "is_valid_group_contact",
                             "Whether `user_name` is a contact of the group.", "user_name")
    is_valid_direct_member = check("is_valid_direct_member", "is_valid_group_direct_member",
                                   "Whether `user_name` is a direct member of the group.",
                                   "user_name")
    is_valid_eventual_member = check(
        "is_valid_eventual_member", "is_valid_group_eventual_member",
        "Whether `user_name` is a member of the group or of one of its subgroups.", "user_name")
    is_valid_owner = check("is_valid_owner", "is_valid_group_owner",
                           "Whether `user_name` owns the group.", "user_name")
    is_valid_sub_group = check("is_valid_sub_group", "is_valid_group_sub_group",
                               "Whether `candidate` is a subgroup of the group.", "candidate")
    is_valid_super_group = check("is_valid_super_group", "is_valid_group_super_group",
                                 "Whether `candidate` is a supergroup of the group.",
                                 "candidate")
    is_valid_eventual_super_group = check(
        "is_valid_eventual_super_group", "is_valid_group_eventual_super_group",
        "Whether `candidate` is above the group, at any distance.", "candidate")

    # The group's change log, from the administration server of its domain.
    change_logs = names("string", "get_group_change_logs",
                        "The lines of the group's change log, oldest first (the log of a group\n"
                        "deleted or renamed since stays readable under its old name).",
                        owned=False)

    # Changes, sent to the administration server of the group's domain.
    add_contact = change("add_contact", "add_contact",
                         "Makes `contact` a contact of the group.", "contact")
    delete_contact = change("delete_contact", "delete_contact",
                            "Removes `contact` from the group's contacts.", "contact")
    add_direct_member = change("add_direct_member", "add_direct_member",
                               "Makes `member` a direct member of the group.", "member")
    delete_direct_member = change("delete_direct_member", "delete_direct_member",
                                  "Removes the direct member `member` from the group.", "member")
    add_owner = change("add_owner", "add_owner", "Makes `owner` an owner of the group.",
                       "owner")
    delete_owner = change("delete_owner", "delete_owner",
                          "Removes `owner` from the group's owners.", "owner")
    add_sub_group = change("add_sub_group", "add_sub_group",
                           "Makes the existing group `sub_group` a subgroup of this one.",
                           "sub_group")
    remove_sub_group = change("remove_sub_group", "remove_sub_group",
                              "Takes `sub_group` out of this group; it goes on existing.",
                              "sub_group")
    create_sub_group = change(
        "create_sub_group", "create_sub_group",
        "Creates the group `new_name` in `unit` as a subgroup of this one (of none for a\n"
        "Group without a name).", "new_name", "unit")
    delete_sub_group = change("delete_sub_group", "delete_sub_group",
                              "Deletes the subgroup `sub_group` from the directory.",
                              "sub_group")
    set_new_name = change("set_new_name", "set_new_group_name",
                          "Renames the group to `new_name`. This object keeps the old name.",
                          "new_name")
    set_company_number = change("set_company_number", "set_company_number",
                                "Sets the group's company number.", "company_number")
    set_description = change("set_description", "set_description",
                             "Sets the group's description.", "description")
    set_generic_attribute_value = change(
        "set_generic_attribute_value", "set_generic_attribute_value",
        "Sets `attribute` of the group's entry to `value`.", "attribute", "value")
    set_exchange_synchronization = change("set_exchange_synchronization",
                                          "set_exchange_synchronization",
                                          "Turns the group's Exchange synchronization on.")
    clear_exchange_synchronization = change("clear_exchange_synchronization",
                                            "clear_exchange_synchronization",
                                            "Turns the group's Exchange synchronization off.")
    set_mail_aliased_flag = change("set_mail_aliased_flag", "set_mail_aliased_flag",
                                   "Sets the group's mail-aliased flag.")
    clear_mail_aliased_flag = change("clear_mail_aliased_flag", "clear_mail_aliased_flag",
                                     "Clears the group's mail-aliased flag.")
    reset_change_logs = change("reset_change_logs", "reset_group_change_logs",
                               "Empties the group's change log.")

    # Directory-wide questions; `settings` are the constructor's keyword arguments.

    @classmethod
    def find(cls, pattern: str, **settings: Any) -> List[str]:
        """Names of the groups matching `pattern` ('*' is a wildcard), sorted."""
        return cls(**settings)._names("group", "find_groups", pattern)

    @classmethod
    def top_groups(cls, **settings: Any) -> List[str]:
        """Names of the groups without a supergroup, sorted."""
        return cls(**settings)._names("group", "get_top_groups")

    @classmethod
    def top_groups_count(cls, **settings: Any) -> int:
        """How many groups have no supergroup."""
        return cls(**settings)._number("get_top_groups_count")

    @classmethod
    def active_companies(cls, **settings: Any) -> List[str]:
        """The companies the directory lists ("0042 Example Holding"), in its order."""
        return cls(**settings)._names("string", "get_active_companies")

    @classmethod
    def organizational_units(cls, **settings: Any) -> List[str]:
        """The organizational units groups may belong to, in the directory's order."""
        return cls(**settings)._names("string", "get_organizational_units")

    @classmethod
    def is_valid_organizational_unit(cls, unit: str, **settings: Any) -> bool:
        """Whether groups may be created in `unit`."""
        return cls(**settings)._check("is_valid_organizational_unit", unit)

    @classmethod
    def is_valid_new_group_name(cls, name: str, **settings: Any) -> bool:
        """Whether `name` may be given to a new group: False when it is taken or
        malformed."""
        return cls(**settings)._check("is_valid_new_group_name", name)

    @classmethod
    def change_status(cls, number: int, **settings: Any) -> ChangeStatus:
        """Where change `number` stands, asked of the local administration server; a number
        the server never gave raises NotFound."""
        group = cls(**settings)
        with group._lock:
            number = operator.index(number)
            code = group._call("get_error_status_code_of_change", ctypes.c_long, number)
            text_ = _library.decode(group._call("get_error_status_text_of_change",
                                                ctypes.c_char_p, number))
            group._raise_unless(True)
        return ChangeStatus(code, text_)

    def change_records(self) -> List[ChangeRecord]:
        """The group's change log as records, oldest first (change_logs() gives the lines)."""
        with self._lock:
            pointer = self._call("get_change_records", ctypes.c_void_p)
            self._raise_unless(True)
            return _records(pointer)

    @classmethod
    def change_record(cls, number: int, **settings: Any) -> ChangeRecord:
        """Entry `number` of the change log as a record; NotFound when there is none."""
        group = cls(**settings)
        with group._lock:
            pointer = group._call("get_change_record", ctypes.c_void_p, operator.index(number))
            group._raise_unless(True)
            records = _records(pointer)
        if not records:
            raise NotFound(*group._status())
        return records[0]

    @classmethod
    def change_log_entry(cls, number: int, **settings: Any) -> str:
        """Entry `number` of the change log, as one line; NotFound when there is none."""
        return cls(**settings)._text("get_change_log_entry", operator.index(number))
