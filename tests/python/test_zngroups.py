"""The Python package against the sandboxed directory and administration server: what each
kind of operation gives back, each exception class, hostile names and an outage. The C++
suites pin the library's behaviour; these pin the binding over it."""

import copy
import dataclasses
import inspect
import json
import os
import pickle
import re
import shutil
import subprocess
import sys
import threading
import time

import pytest

import zngroups
from zngroups import Error, Group, NotFound, Refused, Unreachable, Worker

ADMINISTRATOR = ("asmith", "Tr0ubadour")
ENG_ALL_MEMBERS = ["asmith", "bwhite", "cdoe", "cgreen", "egray", "jdoe"]


def test_queries_give_names_text_numbers_and_answers(sandbox):
    eng = Group("eng-all")
    assert eng.name == "ENG-ALL"
    assert eng.eventual_members() == ENG_ALL_MEMBERS
    assert eng.eventual_members_count() == 6
    assert (eng.direct_members(), eng.owners(), eng.contacts()) == (["asmith"], ["asmith"],
                                                                   ["cgreen"])
    assert eng.sub_groups() == ["ENG-BACKEND", "ENG-FRONTEND", "ENG-INFRA"]
    assert eng.sub_groups_count() == 3 and eng.super_groups_count() == 0
    assert (eng.description(), eng.company_number(), eng.mail_aliased_flag()) == (
        "All engineering staff", "0042", "Y")
    assert Group("ENG-DB").eventual_super_groups() == ["ENG-ALL", "ENG-BACKEND", "ENG-INFRA"]
    assert Group("ENG-INFRA").mail_aliased_flag() == ""
    assert Group.find("SALES-E*") == ["SALES-EMEA"]
    assert Group.domains() == ["EUROPE", "ASIA2"] == Worker.domains()
    assert len(Group.active_companies()) == 3

    jdoe = Worker("jdoe")
    assert (jdoe.full_name(), jdoe.number(), jdoe.display_name()) == ("John Doe", 1002,
                                                                      "Doe, John")
    assert jdoe.dn() == "uid=jdoe,ou=People," + os.environ["ZNG_BASE_DN"]
    assert jdoe.eventual_groups() == ["ENG-ALL", "ENG-BACKEND",
                                      "ZN_GROUP_ORG_UNIT_ENGINEERING_PRIV"]
    assert Worker(1002).user_name() == "jdoe"
    assert Worker.find_by_last_name("Doe") == ["cdoe", "jdoe"]


def test_members_and_groups_come_with_their_details(sandbox):
    members = Group("ENG-ALL").member_details(eventual=True)
    assert [m.user_name for m in members] == ENG_ALL_MEMBERS
    jdoe = members[-1]
    assert (jdoe.full_name, jdoe.email_address, jdoe.worker_number, jdoe.error) == (
        "John Doe", "john.doe@example.com", 1002, None)
    one = Worker("jdoe")
    assert (jdoe.display_name, jdoe.city, jdoe.supervisor_user_name, jdoe.dn) == (
        one.display_name(), one.city(), one.supervisor_user_name(), one.dn())
    with pytest.raises(dataclasses.FrozenInstanceError):
        jdoe.full_name = "x"  # type: ignore[misc]
    assert [m.user_name for m in Group("ENG-ALL").member_details()] == ["asmith"]
    owned = Worker("jdoe").group_details("owner")
    assert [(g.name, g.description, g.organizational_unit, g.mail_aliased) for g in owned] == [
        ("ENG-BACKEND", "Backend services team", "Engineering", "N"),
        ("ENG-DB", "Database administration", "Engineering", "")]
    with pytest.raises(NotFound):
        Group("NO-SUCH").member_details()
    with pytest.raises(ValueError):
        Worker("jdoe").group_details("friend")


def test_checks_answer_true_or_false(sandbox):
    eng = Group("ENG-ALL")
    assert eng.exists() is True and Group("NO-SUCH-GROUP").exists() is False
    assert eng.is_public() is False
    assert eng.is_valid_direct_member("asmith") is True
    assert eng.is_valid_direct_member("jdoe") is False
    assert eng.is_valid_eventual_member("jdoe") is True
    assert Group("ENG-DB").is_valid_eventual_super_group("ENG-ALL") is True
    assert Worker("jdoe").is_valid_owner_group("ENG-DB") is True
    assert Worker("jdoe").is_valid_owner_group("ENG-ALL") is False
    assert Worker("nobody").is_valid() is False
    assert Group.is_valid_new_group_name("ENG_NEW") is True
    # A no for a reason the tool calls a refusal is still a no.
    assert Group.is_valid_new_group_name("ENG-ALL") is False
    assert Worker.authenticate(*ADMINISTRATOR) is True
    assert Worker.authenticate(ADMINISTRATOR[0], "wrong") is False


def test_one_rule_for_no(sandbox):
    # A question about a group that does not exist is not answered with an empty success;
    # the check itself answers False.
    missing = Group("no-such")
    for question in (missing.eventual_members, missing.sub_groups, missing.owners_count,
                     missing.description, missing.mail_aliased_flag):
        error = _failure(question)
        assert (type(error), error.code, error.text) == (NotFound, 30004,
                                                         "NO-SUCH is not a valid group.")
    assert missing.exists() is False
    assert missing.is_valid_direct_member("jdoe") is False
    assert Group("ENG-ALL").is_valid_sub_group("NO-SUCH") is False
    nobody = Worker("nobody")
    assert nobody.is_valid() is False
    for question in (nobody.eventual_groups, nobody.owner_groups, nobody.full_name):
        assert type(_failure(question)) is NotFound
    # An empty answer about one that exists stays an answer.
    assert Group("ENG-ALUMNI").direct_members() == []
    assert Group("ENG-ALUMNI").direct_members_count() == 0
    assert Group("ENG-INFRA").mail_aliased_flag() == ""
    assert Worker("egray").contact_groups() == []


def test_trace_lines_go_to_a_python_function(admin_server):
    lines = []
    zngroups.set_trace(lines.append)
    try:
        assert Group("ENG-ALL").description() == "All engineering staff"
        assert Group("ENG-ALUMNI").add_direct_member("egray", user=ADMINISTRATOR[0],
                                                     password=ADMINISTRATOR[1]) == 1
    finally:
        zngroups.set_trace(None)
    searches = [line for line in lines if line.startswith("search ")]
    assert re.fullmatch(r'search server=\S+ base="[^"]+" '
                        r'filter="\(&\(objectclass=groupOfUniqueNames\)\(cn=ENG-ALL\)\)" '
                        r'attributes=\S+ code=0 entries=1 ms=\d+\.\d', searches[0])
    admin = [line for line in lines if line.startswith("admin ")]
    assert len(admin) == 1 and "<token>" in admin[0] and ADMINISTRATOR[1] not in admin[0]
    assert "server=ldapadm:60660" in admin[0] and 'text="Change 1 applied."' in admin[0]
    count = len(lines)
    Group("ENG-ALL").description()
    assert len(lines) == count


def test_settings_are_keyword_arguments(sandbox):
    europe = Group("SALES-EMEA", domain="europe", connect_timeout=1.25, search_timeout=30)
    assert (europe.domain, europe.connect_timeout, europe.search_timeout) == ("europe", 1.25,
                                                                             30.0)
    assert Worker().connect_timeout == 5.0
    with pytest.raises(NotFound) as raised:
        Worker("jdoe", domain="NOWHERE")
    assert raised.value.code == 30044
    with pytest.raises(ValueError):
        Group(search_timeout=-1)


def test_signatures_and_argument_types(sandbox):
    signature = str(inspect.signature(Group.add_direct_member))
    assert signature == "(self, member: str, *, user: Optional[str] = None, " \
                        "password: str = '') -> int"
    assert "Group.is_valid_owner" in repr(Group.is_valid_owner)
    assert "administration server" in Group.add_owner.__doc__
    with pytest.raises(TypeError):
        Group("ENG-ALL").is_valid_owner(1001)
    with pytest.raises(TypeError):
        Group("ENG-ALL").add_owner("jdoe", "asmith")
    group = Group("ENG-ALL")
    group.close()
    with pytest.raises(ValueError):
        group.description()


def test_no_python_code_can_crash_the_interpreter(sandbox):
    # close() from one thread while another is inside the library waits for that call.
    group = Group("ENG-ALL")
    outcomes = []

    def read():
        try:
            while True:
                outcomes.append(len(group.eventual_members()))
        except ValueError:
            outcomes.append("closed")

    reader = threading.Thread(target=read)
    reader.start()
    while not outcomes:
        time.sleep(0.001)
    group.close()
    reader.join()
    assert outcomes[-1] == "closed" and set(outcomes[:-1]) == {6}

    # A copy is an object of its own: closing either leaves the other working.
    original = Group("SALES-EMEA", domain="europe", connect_timeout=1.5)
    for clone in (copy.copy(original), copy.deepcopy(original)):
        assert clone is not original and repr(clone) == repr(original)
        assert (clone.domain, clone.connect_timeout) == ("europe", 1.5)
        clone.close()
        assert original.description() == Group("SALES-EMEA", domain="europe").description()
    worker = Worker("jdoe")
    twin = copy.copy(worker)
    worker.close()
    assert twin.full_name() == "John Doe"

    for thing in (original, twin):
        with pytest.raises(TypeError, match="cannot pickle"):
            pickle.dumps(thing)


def test_changes_return_their_number_and_read_back(admin_server):
    alumni = Group("ENG-ALUMNI")
    first = alumni.add_direct_member("egray", user=ADMINISTRATOR[0], password=ADMINISTRATOR[1])
    assert first == 1
    assert alumni.direct_members() == ["egray"]
    assert Group.change_status(first) == (1, "Change 1 applied.")
    # Text the directory keeps as given: not ASCII, filter and request syntax.
    description = "Ehemalige, café )(cn=* ✓"
    assert alumni.set_description(description, user=ADMINISTRATOR[0],
                                  password=ADMINISTRATOR[1]) == 2
    assert Group("ENG-ALUMNI").description() == description
    assert Group.change_log_entry(2).endswith("applied")
    assert [re.sub(r"\S+Z ", "", line) for line in alumni.change_logs()] == [
        "Change 1 ASMITH ADD MEMBER ENG-ALUMNI EGRAY applied",
        "Change 2 ASMITH SET DESCRIPTION ENG-ALUMNI applied"]
    records, lines = alumni.change_records(), alumni.change_logs()
    assert [(r.number, r.requester, r.kind, r.group, r.target, r.state, r.code, r.line)
            for r in records] == [
        (1, "ASMITH", "ADD MEMBER", "ENG-ALUMNI", "EGRAY", "applied", 1, lines[0]),
        (2, "ASMITH", "SET DESCRIPTION", "ENG-ALUMNI", "", "applied", 1, lines[1])]
    assert re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", records[0].time)
    assert Group.change_record(2) == records[1]

    with pytest.raises(Refused) as raised:
        alumni.add_direct_member("egray", user=ADMINISTRATOR[0], password=ADMINISTRATOR[1])
    assert raised.value.code == 30026
    assert raised.value.text == "egray is already a direct member of ENG-ALUMNI ."
    with pytest.raises(Refused) as raised:
        alumni.add_owner("jdoe", user="asmith", password="wrong")
    assert raised.value.code == 30000
    # The requester of one change is not left behind for the next: this one is the
    # account running the tests, which the directory does not know.
    with pytest.raises(Error):
        alumni.add_owner("jdoe")
    assert alumni.owners() == ["asmith"]
    assert alumni.delete_direct_member("egray", user=ADMINISTRATOR[0],
                                       password=ADMINISTRATOR[1]) == 3
    assert alumni.direct_members_count() == 0


def _tool(*arguments):
    finished = subprocess.run([os.environ["ZNGROUPS_TOOL"], "--json", *arguments],
                              capture_output=True, text=True)
    answer = json.loads(finished.stdout)
    return finished.returncode, answer["status"]["code"]


def _failure(operation):
    with pytest.raises(Error) as raised:
        operation()
    return raised.value


def test_exception_classes_are_the_tools_exit_statuses(admin_server, tmp_path):
    tool_exit = {NotFound: 1, Refused: 3, Unreachable: 4}
    password_file = str(tmp_path / "asmith.pw")
    with open(password_file, "w") as out:
        out.write(ADMINISTRATOR[1] + "\n")
    add_member = ["group", "add-member", "ENG-ALL", "--user", "asmith", "--password-file",
                  password_file]
    cases = [
        (NotFound, lambda: Worker("nobody").full_name(), ["worker", "show", "nobody"]),
        # A change or log entry the server never gave, a member that does not exist.
        (NotFound, lambda: Group.change_status(999), ["change", "status", "999"]),
        (NotFound, lambda: Group.change_log_entry(999999), ["change", "entry", "999999"]),
        (NotFound, lambda: Group.change_record(999999), ["change", "entry", "999999"]),
        (NotFound, lambda: Group("ENG-ALL").add_direct_member(
            "nobody", user=ADMINISTRATOR[0], password=ADMINISTRATOR[1]),
         add_member + ["nobody"]),
        (Refused, lambda: Group("ENG-ALL").add_direct_member(
            "asmith", user=ADMINISTRATOR[0], password=ADMINISTRATOR[1]),
         add_member + ["asmith"]),
        # Only the local domain's administration server runs.
        (Unreachable, lambda: Group("SALES-EMEA", domain="EUROPE").set_description(
            "x", user=ADMINISTRATOR[0], password=ADMINISTRATOR[1]),
         ["group", "set-description", "SALES-EMEA", "x", "--domain", "EUROPE", "--user",
          "asmith", "--password-file", password_file]),
    ]
    for kind, operation, arguments in cases:
        error = _failure(operation)
        assert type(error) is kind, arguments
        assert _tool(*arguments) == (tool_exit[kind], error.code), arguments


def test_hostile_names_name_nothing(sandbox):
    with pytest.raises(ValueError):
        Group("ENG-ALL\0*")
    with pytest.raises(ValueError):
        Group("ENG-ALL").is_valid_owner("asmith\0")
    for name in ["*", "ENG-ALL)(cn=*", "*)(uid=*", "\\2a", "Åsa ✓", "x" * 100000]:
        group = Group(name)
        assert len(group.name) <= 80
        assert group.exists() is False
        with pytest.raises(NotFound):
            group.eventual_members()
        assert Group("ENG-ALL").is_valid_eventual_member(name) is False
        with pytest.raises(NotFound):
            Worker(name).full_name()
    assert Group("åsa").name == "åSA"
    assert Worker("jöe").name == "jöe"


def test_an_outage_is_unreachable(sandbox, directory_outage):
    error = _failure(lambda: Group("ENG-ALL", connect_timeout=1).eventual_members())
    assert (type(error), error.code) == (Unreachable, 30006)
    assert type(_failure(lambda: Group("ENG-ALL", connect_timeout=1).exists())) is Unreachable
    assert type(_failure(lambda: Group("NO-SUCH", connect_timeout=1).exists())) is Unreachable
    # Nor does a check answer no when nobody could be asked.
    assert type(_failure(lambda: Worker("jdoe").is_valid())) is Unreachable
    assert type(_failure(lambda: Group("ENG-ALL").member_details())) is Unreachable


def test_no_administration_server_is_unreachable(sandbox):
    error = _failure(lambda: Group("ENG-ALUMNI").set_description(
        "x", user=ADMINISTRATOR[0], password=ADMINISTRATOR[1]))
    assert (type(error), error.code) == (Unreachable, 10061)
    assert str(error) == f"{error.text} (status 10061)"
    assert error.text == "Sockets connect error."


def test_python_conventions(sandbox):
    assert Group("eng-all") == Group("ENG-ALL") and Group("ENG-ALL") != Group("ENG-ALL",
                                                                             domain="EUROPE")
    assert Worker("JDoe") == Worker("jdoe") != Worker(1002) == Worker(1002)
    assert Group("ENG-ALL") != Worker("ENG-ALL")
    assert len({Group("eng-all"), Group("Eng-All"), Group("ENG-ALL", connect_timeout=2)}) == 1
    for thing in (Group("eng-all"), Group("SALES-EMEA", domain="europe"), Worker("jdoe"),
                  Worker(1002), Worker("asmith", domain="ASIA2")):
        again = eval(repr(thing), {"Group": Group, "Worker": Worker})
        assert again == thing and repr(again) == repr(thing) and hash(again) == hash(thing)
    assert repr(Worker(1002)) == "Worker(1002)"
    closed = Group("ENG-ALL")
    closed.close()
    assert closed == Group("ENG-ALL") and repr(closed) == "Group('ENG-ALL')"


def test_a_missing_library_names_what_to_install_or_set(tmp_path):
    script = "import zngroups; zngroups.Group('ENG-ALL')"
    environment = {**os.environ, "ZNGROUPS_LIBRARY": str(tmp_path / "absent.so")}
    failed = subprocess.run([sys.executable, "-c", script], env=environment,
                            capture_output=True, text=True)
    assert failed.returncode == 1
    assert "zngroups._library.LibraryNotFound" in failed.stderr
    assert f"cannot load {tmp_path / 'absent.so'}, the library that ZNGROUPS_LIBRARY names" \
        in failed.stderr
    # Without the variable the library is loaded by its SONAME; one that no package
    # installed stands for a machine without it.
    del environment["ZNGROUPS_LIBRARY"]
    script = ("import zngroups, zngroups._library as lib; lib._SONAME = 'libzngroups.so.99'; "
              "zngroups.Worker('jdoe')")
    failed = subprocess.run([sys.executable, "-c", script], env=environment,
                            capture_output=True, text=True)
    assert failed.returncode == 1
    assert "install the package 'zngroups' that ships it" in failed.stderr
    assert "or set ZNGROUPS_LIBRARY to the library's file" in failed.stderr


def test_a_type_checker_sees_the_signatures(tmp_path):
    here = os.path.dirname(os.path.abspath(__file__))
    checked = subprocess.run(
        ["/usr/bin/python3", "-m", "mypy", "--strict", "--warn-unused-ignores",
         "--follow-imports=silent", "--cache-dir", str(tmp_path / "mypy"),
         os.path.join(here, "typed_usage.py")],
        env={**os.environ, "MYPYPATH": os.environ["ZNGROUPS_PYTHON_SOURCE"]},
        capture_output=True, text=True)
    assert checked.returncode == 0, checked.stdout + checked.stderr
    # The package's own annotations hold as well.
    package = os.path.join(os.environ["ZNGROUPS_PYTHON_SOURCE"], "zngroups")
    checked = subprocess.run(["/usr/bin/python3", "-m", "mypy", "--cache-dir",
                              str(tmp_path / "mypy"), package], capture_output=True, text=True)
    assert checked.returncode == 0, checked.stdout + checked.stderr


def test_pip_installs_the_package_offline(sandbox, tmp_path):
    source = shutil.copytree(os.environ["ZNGROUPS_PYTHON_SOURCE"], tmp_path / "python")
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages",
                    str(tmp_path / "venv")], check=True)
    python = str(tmp_path / "venv" / "bin" / "python")
    # With build isolation, as a current pip does by default: the package builds itself.
    subprocess.run([python, "-m", "pip", "wheel", "--no-index", "--quiet", "--wheel-dir",
                    str(tmp_path / "wheels"), str(source)], check=True)
    assert os.listdir(tmp_path / "wheels") == [
        f"zngroups-{os.environ['ZNGROUPS_VERSION']}-py3-none-any.whl"]
    subprocess.run([python, "-m", "pip", "install", "--no-index", "--quiet", str(source)],
                   check=True)
    printed = subprocess.run(
        [python, "-c", "import zngroups; print(zngroups.Group('ENG-ALL').eventual_members())"],
        cwd=tmp_path, capture_output=True, text=True, check=True).stdout
    assert printed == f"{ENG_ALL_MEMBERS}\n"
    assert zngroups.__version__ == os.environ["ZNGROUPS_VERSION"]
