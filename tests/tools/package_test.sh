#!/usr/bin/env bash
# The Debian package of this build, made with CPack, unpacked into a scratch root and used from
# there as an installed system uses it: every file in its place, an application built against
# the installed headers and pkg-config file, the tool against the sandboxed directory, and the
# demonstration with the packaged tool and administration server.
# Usage: package_test.sh BUILD_DIR CPACK   (inside directory/sandbox, no --admind)
set -euo pipefail
build=${1:?build directory}
cpack=${2:?path of cpack}
fail() {
  echo "package test: $*" >&2
  exit 1
}
[[ -n ${ZNG_SANDBOX:-} ]] || fail "run me inside directory/sandbox"

scratch=$(mktemp -d)
admind_pid=
cleanup() {
  if [[ -n $admind_pid ]]; then
    kill "$admind_pid" 2>/dev/null || true
    wait "$admind_pid" 2>/dev/null || true
  fi
  # The demonstration changed the sample; the next test finds it as it was.
  "$ZNG_SANDBOX/bin/restore-directory" >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
shopt -s nullglob
debs=("$scratch"/out/*.deb)
((${#debs[@]} == 1)) || fail "expected one .deb, found ${#debs[@]}"
deb=${debs[0]}
[[ $(dpkg-deb --field "$deb" Package) == zngroups ]] || fail "package name"
[[ $(dpkg-deb --field "$deb" Depends) == *libldap* ]] || fail "no dependency on libldap"

root=$scratch/root
dpkg -x "$deb" "$root"
for path in usr/bin/zngroups usr/bin/zni-spool usr/sbin/zngroups-admind \
  usr/include/CZNGroup.h usr/include/CZNWorker.h usr/include/zngroups_export.h \
  usr/include/zngroups.h usr/include/portable/CZNGroup.h usr/include/portable/CZNWorker.h \
  usr/share/man/man1/zngroups.1 usr/share/man/man8/zngroups-admind.8 \
  usr/lib/systemd/system/zngroups-admind.service \
  usr/share/doc/zngroups/zngroups-admind/admind.conf.example \
  usr/share/zngroups/demo.sh usr/lib/python3/dist-packages/zngroups/__init__.py; do
  [[ -e $root/$path ]] || fail "/$path is not in the package"
done
# Configuring the package makes the shared usage spool, writable by all with the sticky bit.
dpkg-deb -e "$deb" "$scratch/control"
DPKG_ROOT=$root sh "$scratch/control/postinst" configure || fail "postinst failed"
[[ $(stat -c %a "$root/var/spool/zni") == 1777 ]] || fail "/var/spool/zni is not mode 1777"
libdir=$(dirname "$(find "$root/usr" -name 'libzngroups.so.*' -type f | head -n 1)")
[[ -d $libdir ]] || fail "no libzngroups.so"
for file in libzngroups.so libznimessaging.so cmake/zngroups/zngroupsConfig.cmake \
  cmake/zngroups/zngroupsTargets.cmake pkgconfig/zngroups.pc; do
  [[ -e $libdir/$file ]] || fail "$file is not beside the library"
done
# Manual pages carry the version they were built with.
grep -q '^\.TH ZNGROUPS 1 .*"zngroups [0-9]' "$root/usr/share/man/man1/zngroups.1" ||
  fail "zngroups.1 has no version in its title"
if grep -q '@PROJECT_VERSION@' "$root/usr/share/man/man1/zngroups.1" \
  "$root/usr/share/man/man8/zngroups-admind.8"; then
  fail "a manual page was installed unconfigured"
fi

# An application built the way the README says, from the installed files only.
export PKG_CONFIG_PATH=$libdir/pkgconfig
cat >"$scratch/app.cpp" <<'CPP'
#include <CZNGroup.h>
#include <iostream>
int main() {
    CZNGroup group("eng-all");
    std::cout << group.GetDescription() << ' ' << group.GetEventualMembersCount() << '\n';
    return group.GetErrorStatusCode() == 1 ? 0 : 1;
}
CPP
sanitize=()
# A sanitizer build's library needs its runtime loaded first.
if readelf -d "$libdir/libzngroups.so" | grep -q libasan; then
  sanitize=(-fsanitize=address,undefined)
fi
# shellcheck disable=SC2046
g++ -std=c++17 "${sanitize[@]}" "$scratch/app.cpp" -o "$scratch/app" \
  $(pkg-config --cflags --libs zngroups) -Wl,-rpath,"$libdir" || fail "cannot build against the package"
[[ $("$scratch/app") == "All engineering staff 6" ]] || fail "the application read: $("$scratch/app")"

tool=$root/usr/bin/zngroups
[[ $("$tool" --version) == "zngroups $(dpkg-deb --field "$deb" Version)" ]] ||
  fail "version: $("$tool" --version)"
[[ $("$tool" group members ENG-ALL --eventual --count) == 6 ]] || fail "the installed tool"

# The Python package finds the packaged library by its SONAME, as on an installed system.
python_env=(PYTHONDONTWRITEBYTECODE=1 PYTHONPATH="$root/usr/lib/python3/dist-packages"
  LD_LIBRARY_PATH="$libdir")
if ((${#sanitize[@]})); then
  # The sanitizer's run time first, and the C++ one with it: it finds the functions it wraps,
  # __cxa_throw among them, only in libraries loaded before the library is.
  preload="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libstdc++.so.6)"
  python_env+=(LD_PRELOAD="$preload" ASAN_OPTIONS=detect_leaks=0)
fi
python_out=$(env -u ZNGROUPS_LIBRARY "${python_env[@]}" /usr/bin/python3 -c \
  'import zngroups; print(zngroups.Group("ENG-ALL").eventual_members())') ||
  fail "the installed Python package: $python_out"
[[ $python_out == "['asmith', 'bwhite', 'cdoe', 'cgreen', 'egray', 'jdoe']" ]] ||
  fail "the Python package read: $python_out"

# The packaged administration server, where the sandbox puts the local domain's.
address=$(getent hosts ldapadm | awk '{print $1}')
provider=$(getent hosts ldap5 | awk '{print $1}')
[[ -n $address && -n $provider ]] || fail "the sandbox names no ldapadm or ldap5"
printf 'zngadmin\n' >"$scratch/admin-password"
"$root/usr/sbin/zngroups-admind" --listen "$address" --port 60660 --uri "ldap://$provider" \
  --bind-dn "cn=admin,$ZNG_BASE_DN" --password-file "$scratch/admin-password" \
  --base-dn "$ZNG_BASE_DN" --journal "$scratch/journal.db" 2>"$scratch/admind.log" &
admind_pid=$!
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/$address/60660") 2>/dev/null && break
  sleep 0.1
done
export ZNI_SPOOL=$scratch/spool
mkdir -p "$ZNI_SPOOL"
"$root/usr/share/zngroups/demo.sh" "$tool" >"$scratch/demo.out" 2>&1 ||
  { cat "$scratch/demo.out" "$scratch/admind.log" >&2; fail "the demonstration failed"; }
for expected in "Change 1 applied." "Change 3 applied." "is not a valid contact of group ENG-ALUMNI" \
  "Former staff, kept in touch" "ASMITH ADD GROUP ENG-ALL ENG-ALUMNI applied"; do
  grep -qF "$expected" "$scratch/demo.out" || { cat "$scratch/demo.out" >&2; fail "no '$expected'"; }
done
echo "package test: $(basename "$deb") installs and works"
