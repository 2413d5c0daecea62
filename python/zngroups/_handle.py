"""What Group and Worker share: one library handle each, its settings, its error status, and
the ways a C result becomes a Python one (text, int, bool, a list of names, a change number).

The operations themselves are made by the factories at the end, one line each in the class
bodies, with a real signature and docstring so that help() reads like hand-written methods.
"""

from __future__ import annotations

import ctypes
import inspect
import threading
import weakref
from typing import Any, Callable, List, Optional, Tuple, Union, overload

try:
    from typing import Protocol
except ImportError:  # Python 3.7
    Protocol = object  # type: ignore

from . import _library
from .errors import Error, NotFound, Unreachable, error_for

_SUCCESS = 1
_MICROSECONDS = 1_000_000


def _free(name: str, handle: ctypes.c_void_p) -> None:
    _library.function(name, None, (ctypes.c_void_p,))(handle)


class Handle:
    """One CZNGroup or CZNWorker object of the library, used by one thread at a time."""

    _prefix = ""  # zng_group or zng_worker

    def __init_subclass__(cls, **kwargs: Any) -> None:
        super().__init_subclass__(**kwargs)
        # The operations were made outside the class body's scope; name them as its own.
        for name, value in vars(cls).items():
            if getattr(value, "_operation", False):
                value.__qualname__ = f"{cls.__name__}.{name}"

    def __init__(self, handle: Optional[int], domain: Optional[str],
                 connect_timeout: Optional[float], search_timeout: Optional[float]) -> None:
        if not handle:
            raise MemoryError("the library could not make an object")
        self._handle: Optional[ctypes.c_void_p] = ctypes.c_void_p(handle)
        self._finalizer = weakref.finalize(self, _free, f"{self._prefix}_free", self._handle)
        # The library's objects are not for two threads at once; ctypes lets go of the GIL
        # during a call, so the object itself keeps its calls apart.
        self._lock = threading.RLock()
        if connect_timeout is not None:
            self._call("set_connect_timeout", None, *_split_seconds(connect_timeout))
        if search_timeout is not None:
            self._call("set_search_timeout", None, *_split_seconds(search_timeout))
        if domain is not None:
            self._raise_unless(self._call("set_domain", ctypes.c_long, domain) == _SUCCESS)
        # What the object stands for, kept on the Python side so that equality, hashing and
        # repr neither ask the library nor change once the object is closed.
        self._identity: Union[str, int] = ""
        self._domain_name = self._plain_text("get_domain")

    def close(self) -> None:
        """Releases the library's object now rather than when this one is collected. A call
        running on another thread is waited for; later calls raise ValueError."""
        with self._lock:
            self._finalizer()
            self._handle = None

    def __copy__(self):
        """An independent object of its own with this one's name, results, domain and
        time-outs; closing either leaves the other as it was."""
        with self._lock:
            handle = self._call("copy", ctypes.c_void_p)
            domain = self._plain_text("get_domain")
            connect, search = self._seconds("connect"), self._seconds("search")
        clone = type(self).__new__(type(self))
        Handle.__init__(clone, handle, domain or None, connect, search)
        clone._identity = self._identity
        return clone

    def __deepcopy__(self, memo: Any):
        return self.__copy__()

    def __reduce_ex__(self, protocol: Any) -> Any:
        raise TypeError(f"cannot pickle a {type(self).__name__}: it holds an object of the "
                        f"library; pickle its name and make a new one from it")

    def _key(self) -> Tuple[str, str, Union[str, int]]:
        identity: Union[str, int] = self._identity
        if isinstance(identity, str):
            identity = identity.upper()
        return self._prefix, self._domain_name.upper(), identity

    def __eq__(self, other: object) -> bool:
        """Two objects are equal when they name the same group or worker in the same domain,
        whatever the case of either name; time-outs and results do not count."""
        if not isinstance(other, Handle):
            return NotImplemented
        return self._key() == other._key()

    def __hash__(self) -> int:
        return hash(self._key())

    def __repr__(self) -> str:
        """The expression that makes an equal object: Group('ENG-ALL', domain='EUROPE')."""
        arguments = [repr(self._identity)]
        if self._domain_name:
            arguments.append(f"domain={self._domain_name!r}")
        return f"{type(self).__name__}({', '.join(arguments)})"

    def __enter__(self):
        return self

    def __exit__(self, *exc_info: Any) -> None:
        self.close()

    @property
    def domain(self) -> str:
        """The domain whose directory and administration servers are used ("" for the local
        ones)."""
        return self._plain_text("get_domain")

    @property
    def connect_timeout(self) -> float:
        """Seconds each bind to a directory server may wait (5.0 unless set)."""
        return self._seconds("connect")

    @property
    def search_timeout(self) -> float:
        """Seconds each search try may take (120.0 unless set)."""
        return self._seconds("search")

    @classmethod
    def domains(cls, **settings: Any) -> List[str]:
        """The domains the directory lists, in its order; `settings` are the constructor's
        keyword arguments."""
        return cls(**settings)._names("string", "get_domains")

    @classmethod
    def is_valid_domain(cls, domain: str, **settings: Any) -> bool:
        """Whether the directory lists `domain`."""
        return cls(**settings)._check("is_valid_domain", domain)

    def status(self) -> Tuple[int, str]:
        """The error status of the last operation: (code, text); code 1 is success."""
        with self._lock:
            return self._status()

    # What the operations are made of.

    def _call(self, operation: str, restype: Any, *arguments: Any) -> Any:
        if self._handle is None:
            raise ValueError(f"operation on a closed {type(self).__name__}")
        return _library.call(f"{self._prefix}_{operation}", restype, self._handle, *arguments)

    def _status(self) -> Tuple[int, str]:
        code = self._call("get_error_status_code", ctypes.c_long)
        return code, _library.decode(self._call("get_error_status_text", ctypes.c_char_p))

    def _raise_unless(self, succeeded: bool) -> None:
        code, text = self._status()
        if not succeeded or code != _SUCCESS:
            raise error_for(code, text)

    def _seconds(self, which: str) -> float:
        with self._lock:
            seconds = self._call(f"get_{which}_timeout_seconds", ctypes.c_long)
            micro = self._call(f"get_{which}_timeout_microseconds", ctypes.c_long)
        return seconds + micro / _MICROSECONDS

    def _plain_text(self, operation: str) -> str:
        """Text the object holds without asking the directory; leaves the status alone."""
        with self._lock:
            return _library.decode(self._call(operation, ctypes.c_char_p))

    def _text(self, operation: str, *arguments: Any, owned: bool = False) -> str:
        with self._lock:
            text = _library.decode(self._call(operation, ctypes.c_char_p, *arguments))
            self._raise_unless(True)
            if owned and not text:
                self._confirm_exists()
        return text

    def _number(self, operation: str, *arguments: Any, owned: bool = False) -> int:
        with self._lock:
            number: int = self._call(operation, ctypes.c_long, *arguments)
            self._raise_unless(True)
            if owned and not number:
                self._confirm_exists()
        return number

    def _names(self, kind: str, operation: str, *arguments: Any,
               owned: bool = False) -> List[str]:
        with self._lock:
            names = _library.list_names(kind, self._call(operation, ctypes.c_void_p, *arguments))
            self._raise_unless(True)
            if owned and not names:
                self._confirm_exists()
        return names

    def _confirm_exists(self) -> None:
        """Raises NotFound when the object's own group or worker does not exist. Asked only
        after an empty answer about it, which the library gives with success for a group
        that is missing as for one that is empty."""

    def _answer(self, answered: int) -> bool:
        """A check's answer: every no is False, whatever its reason (not a member, not a
        valid new name, a wrong password). Only a directory or server that could not be
        asked is raised, as Unreachable: that is no answer at all."""
        if answered:
            self._raise_unless(True)
            return True
        code, text = self._status()
        error = error_for(code, text) if code != _SUCCESS else None
        if isinstance(error, Unreachable):
            raise error
        return False

    def _check(self, operation: str, *arguments: Any) -> bool:
        with self._lock:
            return self._answer(self._call(operation, ctypes.c_long, *arguments))

    def _change(self, operation: str, arguments: Tuple[Any, ...], user: Optional[str],
                password: str, name: str) -> int:
        with self._lock:
            if user is None:
                # The requester set by an earlier call stays in the object; without one the
                # account running the program acts.
                self._call("set_access", None, "", "")
                result = self._call(operation, ctypes.c_long, *arguments)
            else:
                result = self._call(f"{operation}_as_of", ctypes.c_long, user, password, name,
                                    *arguments)
            code, text = self._status()
            number: int = self._call("get_last_change_number", ctypes.c_long)
        if result != _SUCCESS or code != _SUCCESS:
            raise error_for(code, text)
        if not number:
            raise Error(code, f"the administration server named no change: {text}")
        return number


def _split_seconds(seconds: float) -> Tuple[int, int]:
    if seconds < 0:
        raise ValueError(f"a time-out cannot be negative: {seconds}")
    whole = int(seconds)
    return whole, round((seconds - whole) * _MICROSECONDS)


# Factories of operations. Each makes a method named `name` that calls the C function of
# `operation` with the method's own arguments, all text.

def _method(name: str, doc: str, parameters: Tuple[str, ...], returns: Any,
            body: Callable[..., Any], keywords: Tuple[inspect.Parameter, ...] = ()) -> Any:
    positional = [inspect.Parameter("self", inspect.Parameter.POSITIONAL_OR_KEYWORD)]
    positional += [inspect.Parameter(p, inspect.Parameter.POSITIONAL_OR_KEYWORD, annotation=str)
                   for p in parameters]
    signature = inspect.Signature(positional + list(keywords), return_annotation=returns)

    def method(self: Handle, *arguments: Any, **options: Any) -> Any:
        bound = signature.bind(self, *arguments, **options)
        bound.apply_defaults()
        values = list(bound.arguments.values())[1:]
        for parameter, value in zip(parameters, values):
            if not isinstance(value, str):
                raise TypeError(f"{name}() argument '{parameter}' must be str, "
                                f"not {type(value).__name__}")
        return body(self, *values)

    setattr(method, "__signature__", signature)
    method.__name__ = method.__qualname__ = name
    setattr(method, "_operation", True)
    method.__doc__ = doc
    method.__annotations__ = {**{p: str for p in parameters}, "return": returns}
    return method


# The factories' results are typed by how many text parameters the method takes, so that a
# type checker sees each method's arguments and its result (str, int, list of str, bool).

@overload
def text(operation: str, doc: str) -> Callable[[Handle], str]: ...
@overload
def text(operation: str, doc: str, __p1: str) -> Callable[[Handle, str], str]: ...
def text(operation: str, doc: str, *parameters: str) -> Any:
    """A query answering text ("" when there is none)."""
    return _method(operation.replace("get_", "", 1), doc, parameters, str,
                   lambda self, *a: self._text(operation, *a, owned=True))


def count(operation: str, doc: str) -> Callable[[Handle], int]:
    """A query answering a number."""
    return _method(operation.replace("get_", "", 1), doc, (), int,
                   lambda self: self._number(operation, owned=True))


def names(kind: str, operation: str, doc: str, *,
          owned: bool = True) -> Callable[[Handle], List[str]]:
    """A query answering a list of group names, user names or strings (kind). An owned list
    is one about the object's own group or worker, which must exist."""
    return _method(operation.replace("get_", "", 1), doc, (), List[str],
                   lambda self: self._names(kind, operation, owned=owned))


@overload
def check(name: str, operation: str, doc: str) -> Callable[[Handle], bool]: ...
@overload
def check(name: str, operation: str, doc: str, __p1: str) -> Callable[[Handle, str], bool]: ...
def check(name: str, operation: str, doc: str, *parameters: str) -> Any:
    """A yes-or-no question."""
    return _method(name, doc, parameters, bool, lambda self, *a: self._check(operation, *a))


_REQUESTER = (
    inspect.Parameter("user", inspect.Parameter.KEYWORD_ONLY, default=None,
                      annotation=Optional[str]),
    inspect.Parameter("password", inspect.Parameter.KEYWORD_ONLY, default="", annotation=str),
)

_CHANGE_DOC = """

The requester is `user` with `password`; without `user`, the account running this program
(which needs no password). Returns the number of the change the administration server made.
Raises NotFound when the group, or a group or person the change names, does not exist;
Refused when the library's checks or the server refuse it (privilege, already a member, a
wrong password); Unreachable when no directory or administration server answers."""


# A change as a method of an object, once bound: its text arguments and the requester.
class _Change0(Protocol):
    def __call__(self, *, user: Optional[str] = ..., password: str = ...) -> int: ...


class _Change1(Protocol):
    def __call__(self, __value: str, *, user: Optional[str] = ...,
                 password: str = ...) -> int: ...


class _Change2(Protocol):
    def __call__(self, __first: str, __second: str, *, user: Optional[str] = ...,
                 password: str = ...) -> int: ...


@overload
def change(name: str, operation: str, doc: str) -> _Change0: ...
@overload
def change(name: str, operation: str, doc: str, __p1: str) -> _Change1: ...
@overload
def change(name: str, operation: str, doc: str, __p1: str, __p2: str) -> _Change2: ...
def change(name: str, operation: str, doc: str, *parameters: str) -> Any:
    """A change sent to the administration server, returning the change's number."""
    def body(self: Any, *values: Any) -> int:
        *arguments, user, password = values
        if user is not None and not isinstance(user, str):
            raise TypeError(f"{name}() argument 'user' must be str")
        if not isinstance(password, str):
            raise TypeError(f"{name}() argument 'password' must be str")
        return self._change(operation, tuple(arguments), user, password, self.name)
    return _method(name, doc + _CHANGE_DOC, parameters, int, body, _REQUESTER)
