"""zngroups: the company directory of mail groups and people, from Python.

Group and Worker are the library's CZNGroup and CZNWorker through its C interface
(libzngroups.so.0, or zngroups.dll on Windows; the environment variable ZNGROUPS_LIBRARY may
name another file). Methods are the library's operations in snake_case without "Get", and
without the class's own name where it only repeats it (IsPublicGroup: is_public,
FindWorkers: find, GetWorkerNumber: number)::

    >>> import zngroups
    >>> zngroups.Group("ENG-ALL").eventual_members()
    ['asmith', 'bwhite', 'cdoe', 'cgreen', 'egray', 'jdoe']
    >>> zngroups.Worker("jdoe").full_name()
    'John Doe'
    >>> [(m.user_name, m.email_address) for m in zngroups.Group("ENG-BACKEND").member_details()]
    [('bwhite', 'bob.white@example.com'), ('jdoe', 'john.doe@example.com')]
    >>> zngroups.Group("ENG-ALUMNI").add_direct_member("egray", user="asmith", password=pw)
    17

One rule for "no": a check (exists, is_valid..., authenticate) answers False for every no
and raises only when no server could be asked (Unreachable). Every other question raises
Error (with .code and .text) as NotFound, Refused or Unreachable, the kinds the zngroups tool
exits with 1, 3 and 4 for: a question about a group or worker that does not exist raises
NotFound, also where the library answers it with an empty list, text or zero. Text holding a
NUL character is refused with ValueError before it reaches the library. A library that
cannot be loaded raises LibraryNotFound (an OSError) on the first call.
"""

from ._library import LibraryNotFound
from ._settings import set_option
from ._trace import set_trace
from .details import GroupDetails, MemberDetails
from .errors import Error, NotFound, Refused, Unreachable
from .group import ChangeRecord, ChangeStatus, Group
from .worker import Worker

__all__ = ["ChangeRecord", "ChangeStatus", "Error", "Group", "GroupDetails", "LibraryNotFound",
           "MemberDetails", "NotFound", "Refused", "Unreachable", "Worker", "set_option",
           "set_trace"]
__version__ = "0.1.0"
