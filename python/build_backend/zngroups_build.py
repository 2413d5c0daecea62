"""The build backend of the zngroups package: wheels and source archives of pure Python files.

A backend from an index (setuptools, flit) would make an offline `pip install` depend on
build isolation being off; this one needs only the standard library.
"""

import base64
import hashlib
import io
import os
import re
import tarfile
import zipfile

NAME = "zngroups"
SUMMARY = "The company directory of mail groups and people, over libzngroups' C interface"
REQUIRES_PYTHON = ">=3.7"
CLASSIFIERS = (
    "Programming Language :: Python :: 3",
    "Operating System :: POSIX :: Linux",
    "Operating System :: Microsoft :: Windows",
)
_SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
_PACKAGE = os.path.join(_SOURCE, NAME)
# What a source archive carries beside the package.
_SDIST_EXTRAS = ("pyproject.toml", "README.md", "build_backend/zngroups_build.py")


def _version():
    with open(os.path.join(_PACKAGE, "__init__.py"), encoding="utf-8") as init:
        found = re.search(r'^__version__ = "([^"]+)"', init.read(), re.MULTILINE)
    if found is None:
        raise RuntimeError("zngroups/__init__.py names no __version__")
    return found.group(1)


def _metadata():
    lines = ["Metadata-Version: 2.1", f"Name: {NAME}", f"Version: {_version()}",
             f"Summary: {SUMMARY}", f"Requires-Python: {REQUIRES_PYTHON}"]
    lines += [f"Classifier: {classifier}" for classifier in CLASSIFIERS]
    lines.append("Description-Content-Type: text/markdown")
    with open(os.path.join(_SOURCE, "README.md"), encoding="utf-8") as readme:
        return "\n".join(lines) + "\n\n" + readme.read()


def _package_files():
    for name in sorted(os.listdir(_PACKAGE)):
        if name.endswith(".py") or name == "py.typed":
            yield f"{NAME}/{name}", os.path.join(_PACKAGE, name)


def _digest(data):
    return "sha256=" + base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()


def _write_wheel(directory, contents):
    """A wheel of the given files (archive name to bytes), with its metadata and record."""
    info = f"{NAME}-{_version()}.dist-info"
    contents = dict(contents)
    contents[f"{info}/METADATA"] = _metadata().encode("utf-8")
    contents[f"{info}/WHEEL"] = (b"Wheel-Version: 1.0\nGenerator: zngroups_build\n"
                                 b"Root-Is-Purelib: true\nTag: py3-none-any\n")
    record = "".join(f"{name},{_digest(data)},{len(data)}\n" for name, data in contents.items())
    contents[f"{info}/RECORD"] = (record + f"{info}/RECORD,,\n").encode("utf-8")
    filename = f"{NAME}-{_version()}-py3-none-any.whl"
    with zipfile.ZipFile(os.path.join(directory, filename), "w", zipfile.ZIP_DEFLATED) as wheel:
        for name, data in contents.items():
            wheel.writestr(zipfile.ZipInfo(name, (1980, 1, 1, 0, 0, 0)), data)
    return filename


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def get_requires_for_build_editable(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    contents = {}
    for name, path in _package_files():
        with open(path, "rb") as source:
            contents[name] = source.read()
    return _write_wheel(wheel_directory, contents)


def build_editable(wheel_directory, config_settings=None, metadata_directory=None):
    # The source folder on the path: edits take effect without reinstalling.
    return _write_wheel(wheel_directory, {f"{NAME}.pth": (_SOURCE + "\n").encode("utf-8")})


def build_sdist(sdist_directory, config_settings=None):
    base = f"{NAME}-{_version()}"
    filename = f"{base}.tar.gz"
    files = [(name, path) for name, path in _package_files()]
    files += [(extra, os.path.join(_SOURCE, extra)) for extra in _SDIST_EXTRAS]
    with tarfile.open(os.path.join(sdist_directory, filename), "w:gz",
                      format=tarfile.PAX_FORMAT) as archive:
        info = _metadata().encode("utf-8")
        entry = tarfile.TarInfo(f"{base}/PKG-INFO")
        entry.size = len(info)
        archive.addfile(entry, io.BytesIO(info))
        for name, path in files:
            archive.add(path, arcname=f"{base}/{name}")
    return filename
