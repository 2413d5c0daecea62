"""The sandboxed directory and administration server that the binding's tests run against."""

import os
import socket
import subprocess
import time

import pytest


def _required(variable):
    value = os.environ.get(variable)
    if not value:
        pytest.fail(f"{variable} is not set: run these tests with ctest inside directory/sandbox")
    return value


@pytest.fixture(scope="session")
def sandbox():
    """The run directory of directory/sandbox; without it the tests fail, never pass."""
    return _required("ZNG_SANDBOX")


def restore_directory(sandbox):
    subprocess.run([os.path.join(sandbox, "bin", "restore-directory")], check=True,
                    stdout=subprocess.DEVNULL)


@pytest.fixture()
def admin_server(sandbox, tmp_path):
    """zngroups-admind as the local domain's administration server, with a journal of its
    own; the sample goes back as it was when the test ends."""
    address = socket.gethostbyname("ldapadm")
    (tmp_path / "password").write_text("zngadmin\n")
    arguments = [_required("ZNGROUPS_ADMIND"), "--listen", address, "--port", "60660",
                 "--uri", "ldap://" + socket.gethostbyname("ldap5"),
                 "--bind-dn", "cn=admin," + os.environ["ZNG_BASE_DN"],
                 "--password-file", str(tmp_path / "password"),
                 "--base-dn", os.environ["ZNG_BASE_DN"],
                 "--journal", str(tmp_path / "journal.db"), "--first-change-number", "1"]
    with open(tmp_path / "admind.log", "wb") as log:
        server = subprocess.Popen(arguments, stdout=log, stderr=log)
    try:
        deadline = time.monotonic() + 20
        while True:
            try:
                socket.create_connection((address, 60660), timeout=1).close()
                break
            except OSError:
                if server.poll() is not None or time.monotonic() > deadline:
                    pytest.fail("zngroups-admind did not start: "
                                + (tmp_path / "admind.log").read_text())
                time.sleep(0.05)
        yield server
    finally:
        server.terminate()
        server.wait(10)
        restore_directory(sandbox)


@pytest.fixture()
def directory_outage(sandbox):
    """Every directory server of the local domain stopped; started again afterwards."""
    servers = [os.path.join(sandbox, "servers", f"ldap{n}") for n in range(5, 0, -1)]
    try:
        # Side by side: each stop waits until its port refuses.
        stops = [subprocess.Popen([os.path.join(server, "stop")]) for server in servers]
        assert [stop.wait() for stop in stops] == [0] * len(stops)
        yield
    finally:
        restore_directory(sandbox)
