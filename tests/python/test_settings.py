"""zngroups.set_option: the process's TLS settings from Python, against the sandbox."""

import os
import subprocess

import pytest

import zngroups
from zngroups import Unreachable, Worker


@pytest.fixture()
def settings(sandbox):
    """The trace lines of the test; every option given back to the environment afterwards."""
    lines = []
    zngroups.set_trace(lines.append)
    try:
        yield lines
    finally:
        zngroups.set_trace(None)
        for key in ("tls", "tls-ca", "tls-verify", "admin-tls"):
            zngroups.set_option(key, None)


def test_tls_settings_reach_every_connection(settings, tmp_path):
    zngroups.set_option("tls", "starttls")
    zngroups.set_option("tls-ca", os.environ["ZNG_TLS_CA"])
    assert Worker("jdoe").full_name() == "John Doe"
    assert Worker.authenticate("jdoe", "secret")
    binds = [line for line in settings if line.startswith("bind ")]
    assert binds and all(line.endswith('transport="starttls to ldap5:389, certificate verified"')
                         for line in binds), binds

    # A certificate that does not verify is no "wrong password": the check raises.
    other = tmp_path / "other-ca.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:prime256v1", "-nodes", "-days", "1", "-subj", "/CN=other",
                    "-keyout", str(tmp_path / "other.key"), "-out", str(other)],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    zngroups.set_option("tls", "ldaps")
    zngroups.set_option("tls-ca", str(other))
    with pytest.raises(Unreachable) as raised:
        Worker.authenticate("jdoe", "secret")
    assert raised.value.code == 30043
    assert raised.value.text == ("Directory TLS (ldaps) with ldap5:636 failed: the server's "
                                 f"certificate could not be verified (CA file {other}).")


def test_values_the_library_cannot_take_raise_and_change_nothing(settings):
    with pytest.raises(ValueError, match=r'tls = "always" is not off, starttls or ldaps'):
        zngroups.set_option("tls", "always")
    with pytest.raises(ValueError, match=r'unknown setting "cipher"'):
        zngroups.set_option("cipher", "aes")
    with pytest.raises(ValueError):
        zngroups.set_option("tls\0", "off")
    assert Worker("jdoe").full_name() == "John Doe"
    assert all(line.endswith('transport="plain"') for line in settings if line.startswith("bind "))
