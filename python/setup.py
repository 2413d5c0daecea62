"""Installs the zngroups package; pure Python, so no build step and no download is needed:
the metadata is in setup.cfg, and Debian's setuptools suffices (pip install ./python)."""

from setuptools import setup

setup()
