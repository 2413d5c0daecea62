#!/usr/bin/env bash
# Installs what zngroups needs, builds it, and runs the demonstration or the test suites.
#   ./build.sh demo    build, show what the library reads from the sandboxed sample directory,
#                      and make a change through the administration server
#   ./build.sh test    build with the sanitizers and run every test inside the sandbox, then
#                      the threaded tests under ThreadSanitizer, a short run of every fuzz
#                      target, and the Windows build and its suites as `./build.sh windows` does
#   ./build.sh deps    only install the Debian packages
#   ./build.sh bench   build optimised and run the benchmarks inside the sandbox
#   ./build.sh soak [options]  build optimised and run the long crash soak of the administration
#                      server inside the sandbox (admind_soak; default 16 clients, 25 kills)
#   ./build.sh windows build the 32- and 64-bit Windows DLLs with mingw-w64, check the 32-bit
#                      one, and run the Windows suites and the demonstration under wine64
#   ./build.sh fuzz [seconds]  run every fuzz target that long (default 600 s each)
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
MAIL_DOMAIN="${ZNGROUPS_MAIL_DOMAIN:-example.com}"
JOBS="$(nproc 2>/dev/null || echo 2)"
PACKAGES=(cmake make g++ pkg-config libldap-dev libssl-dev openssl slapd ldap-utils libgtest-dev
          libgmock-dev libbenchmark-dev libsqlite3-dev iproute2 util-linux procps clang
          libclang-rt-14-dev libc++-dev libc++abi-dev python3 python3-pytest python3-pip
          python3-venv python3-mypy)
WINDOWS_PACKAGES=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 xvfb)

install_packages() {
    local missing=()
    for package in "${PACKAGES[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ "${#missing[@]}" -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
            sudo=(sudo -n)
        else
            echo "error: missing packages (${missing[*]}) and no root rights to install them" >&2
            exit 1
        fi
    fi
    # slapd's own service is of no use here (the sandbox starts private instances), but the
    # package may try to start it; keep its questions away from a terminal-less run.
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends "${missing[@]}" </dev/null
}

configure_and_build() {
    local dir="$1"; shift
    cmake -S "$ROOT" -B "$dir" -DZNGROUPS_MAIL_DOMAIN="$MAIL_DOMAIN" "$@" >/dev/null
    cmake --build "$dir" -j "$JOBS"
}

# The libFuzzer targets, built with clang in a tree of their own; each target of the CTest run
# fuzzes for the given number of seconds, growing a corpus under build-fuzz.
run_fuzzers() {
    cmake -S "$ROOT" -B "$ROOT/build-fuzz" -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZNGROUPS_FUZZ=ON -DZNGROUPS_BUILD_TESTS=OFF \
        -DZNGROUPS_BUILD_BENCH=OFF -DZNGROUPS_MAIL_DOMAIN="$MAIL_DOMAIN" \
        -DZNGROUPS_FUZZ_SECONDS="$1" >/dev/null
    cmake --build "$ROOT/build-fuzz" -j "$JOBS" --target zngroups_fuzzers
    ctest --test-dir "$ROOT/build-fuzz" -j "$JOBS" --output-on-failure
}

# The tests that use threads, built again under ThreadSanitizer (the server among them); any
# report ends the process that made it and fails its test.
TSAN_TARGETS=(threads_test admind_test messaging_test admin_channel_test zngroups-admind zni-spool)
TSAN_TESTS='^(ConcurrentObjects\.|AdminServer\.Concurrent|AdminServerLoad\.|AdminServerTls\.|MessageSpool\.Concurrent|AdminChannel\.)'
run_thread_sanitizer() {
    cmake -S "$ROOT" -B "$ROOT/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DZNGROUPS_TSAN=ON \
        -DZNGROUPS_BUILD_BENCH=OFF -DZNGROUPS_MAIL_DOMAIN="$MAIL_DOMAIN" >/dev/null
    cmake --build "$ROOT/build-tsan" -j "$JOBS" --target "${TSAN_TARGETS[@]}"
    # Without address randomization: ThreadSanitizer's fixed memory layout fails on kernels
    # that randomize more bits than it expects.
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" setarch "$(uname -m)" -R \
        "$ROOT/directory/sandbox" --suffix "o=$MAIL_DOMAIN" -- \
        ctest --test-dir "$ROOT/build-tsan" -R "$TSAN_TESTS" --output-on-failure
}

in_sandbox() {
    "$ROOT/directory/sandbox" --suffix "o=$MAIL_DOMAIN" -- "$@"
}

# The libraries a Windows DLL of ours may import: those the library's platform interfaces
# name, the messaging component and the system's C run time. The compiler's own run time is
# linked in, so that nothing of mingw-w64 has to be shipped beside the DLLs.
ALLOWED_IMPORTS='^(kernel32|user32|advapi32|version|wldap32|wsock32|znimessaging|msvcrt)\.dll$'

# The 32-bit DLL as applications get it: PE32, only the two public classes and the C
# interface exported, a version resource with the project's file version, and no unexpected
# import.
check_windows_dll() {
    local dll="$1" dump version
    dump="$(i686-w64-mingw32-objdump -p "$dll")"
    grep -q $'^Magic\t*010b\t*(PE32)$' <<<"$dump" || { echo "error: $dll is not PE32" >&2; return 1; }
    local exports
    exports="$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -n 's/^\t\[ *[0-9]*\] //p')"
    local strays
    strays="$(grep -v -E '^(_ZN(K)?(8CZNGroup|9CZNWorker)|zng_)' <<<"$exports" || true)"
    [ -z "$strays" ] || { echo "error: $dll exports more than the two classes and the C interface:" >&2; echo "$strays" >&2; return 1; }
    grep -q '8CZNGroup' <<<"$exports" && grep -q '9CZNWorker' <<<"$exports" ||
        { echo "error: $dll does not export both classes" >&2; return 1; }
    # The C functions: exactly those zngroups.h declares, under their plain names.
    local declared functions
    declared="$(tr '\n' ' ' <"$ROOT/include/zngroups.h" | grep -o 'ZNG_CALL *zng_[a-z0-9_]*' |
        sed 's/ZNG_CALL *//' | sort)"
    functions="$(grep -E '^zng_' <<<"$exports" | sort)"
    [ "$functions" = "$declared" ] || { echo "error: $dll's C functions differ from zngroups.h:" >&2;
        diff <(echo "$declared") <(echo "$functions") >&2; return 1; }
    # Resource type 16 is RT_VERSION.
    grep -q 'Entry: ID: 0x000010,' <<<"$(sed -n '/The .rsrc Resource Directory/,/^$/p' <<<"$dump")" ||
        { echo "error: $dll carries no version resource" >&2; return 1; }
    version="$(strings -el "$dll" | grep -A1 -x FileVersion | tail -1)"
    local expected
    expected="$(sed -n 's/^project(zngroups VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")"
    [ "$version" = "$expected" ] || { echo "error: $dll has file version '$version', not $expected" >&2; return 1; }
    local imports
    imports="$(check_windows_imports "$dll")" || return 1
    echo "$dll: PE32, $(grep -c -v '^zng_' <<<"$exports") exported symbols of CZNGroup and" \
        "CZNWorker and the $(wc -l <<<"$functions") functions of zngroups.h, file version" \
        "$version, imports $imports"
}

# Prints the DLLs that a DLL of ours imports; fails on any that is not allowed.
check_windows_imports() {
    local dll="$1" imports unexpected
    imports="$(x86_64-w64-mingw32-objdump -p "$dll" | sed -n 's/^\tDLL Name: //p')"
    unexpected="$(tr 'A-Z' 'a-z' <<<"$imports" | grep -v -E "$ALLOWED_IMPORTS" || true)"
    [ -z "$unexpected" ] || { echo "error: $dll imports $(tr '\n' ' ' <<<"$unexpected")" >&2; return 1; }
    tr '\n' ' ' <<<"$imports"
}

windows() {
    local out="$ROOT/build-windows"
    configure_and_build "$out/i686" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DZNGROUPS_BUILD_TESTS=OFF -DZNGROUPS_BUILD_BENCH=OFF
    check_windows_dll "$out/i686/bin/zngroups.dll"
    echo "$out/i686/bin/znimessaging.dll: imports $(check_windows_imports "$out/i686/bin/znimessaging.dll")"

    configure_and_build "$out/x86_64" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Debug -DZNGROUPS_BUILD_BENCH=OFF
    # The demonstration is an application of its own: the installed headers and import library.
    rm -rf "$out/install"
    cmake --install "$out/x86_64" --prefix "$out/install" >/dev/null
    for dll in zngroups znimessaging; do
        echo "$out/install/bin/$dll.dll: imports $(check_windows_imports "$out/install/bin/$dll.dll")"
    done
    # The import library by its path: -static, which links the compiler's run time in, would
    # otherwise look only for a static libzngroups.a.
    x86_64-w64-mingw32-g++-posix -std=c++17 -Wall -Wextra -Werror -I"$out/install/include" \
        "$ROOT/tools/windows_demo/cards.cpp" "$out/install/lib/libzngroups.dll.a" -static \
        -o "$out/install/bin/cards.exe"

    # A prefix of its own, made inside the sandbox so that its wineserver is too.
    export WINEPREFIX="$out/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # No WINEPATH: the programs find only what is installed beside them and the system's DLLs,
    # as on a machine without mingw-w64.
    unset WINEPATH
    export ZNI_SPOOL="$out/spool"
    mkdir -p "$ZNI_SPOOL"
    # The login dialog's suite draws real windows, on a virtual display, and leaves a
    # screenshot of the dialog among the artifacts.
    mkdir -p "$out/artifacts"
    export ZNGROUPS_SCREENSHOT="$out/artifacts/login_dialog.bmp"
    in_sandbox bash -c '
        set -e
        Xvfb :71 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        display=$!
        trap "kill $display 2>/dev/null || true" EXIT
        export DISPLAY=:71
        # A new prefix is written out when its wineserver exits; one killed with the sandbox
        # before that leaves a registry without a search path, in which nothing finds cmd.
        /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
        # No window manager runs on the virtual display: Wine draws captions and frames itself.
        /usr/lib/wine/wine64 reg add "HKCU\\Software\\Wine\\X11 Driver" /v Decorated /d N /f \
            >/dev/null 2>&1
        /usr/lib/wine/wineserver -w
        ctest --test-dir "$1/x86_64" --output-on-failure
        cd "$1/install/bin" && /usr/lib/wine/wine64 cards.exe' windows "$out"
}

case "${1:-}" in
    deps)
        install_packages "${WINDOWS_PACKAGES[@]}"
        ;;
    demo)
        install_packages
        configure_and_build "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DZNGROUPS_BUILD_TESTS=OFF -DZNGROUPS_BUILD_BENCH=OFF
        # Usage reports of the demonstration land in a spool of its own, not the machine's.
        export ZNI_SPOOL="${ZNI_SPOOL:-$ROOT/build/spool}"
        mkdir -p "$ZNI_SPOOL"
        "$ROOT/directory/sandbox" --suffix "o=$MAIL_DOMAIN" --admind "$ROOT/build/server/zngroups-admind" \
            -- "$ROOT/tools/demo.sh" "$ROOT/build/tools/zngroups"
        ;;
    test)
        install_packages "${WINDOWS_PACKAGES[@]}"
        configure_and_build "$ROOT/build-test" -DCMAKE_BUILD_TYPE=Debug -DZNGROUPS_SANITIZE=ON \
            -DZNGROUPS_BUILD_BENCH=OFF
        in_sandbox ctest --test-dir "$ROOT/build-test" --output-on-failure
        run_thread_sanitizer
        run_fuzzers 20
        windows
        ;;
    windows)
        install_packages "${WINDOWS_PACKAGES[@]}"
        windows
        ;;
    fuzz)
        install_packages
        run_fuzzers "${2:-600}"
        ;;
    bench)
        install_packages
        configure_and_build "$ROOT/build-bench" -DCMAKE_BUILD_TYPE=Release \
            -DZNGROUPS_BUILD_TESTS=OFF
        shift
        # Usage reports of the benchmarks land in a spool of their own, not the machine's.
        export ZNI_SPOOL="${ZNI_SPOOL:-$ROOT/build-bench/spool}"
        mkdir -p "$ZNI_SPOOL"
        for bench in session_bench tls_bench admin_bench admind_bench admind_tls_bench; do
            in_sandbox "$ROOT/build-bench/bench/$bench" "$@"
        done
        # A group of 100,000 direct and eventual members, indexed, outgrows the default database.
        ZNG_SANDBOX_SIZE=2g ZNG_DB_MAXSIZE=268435456 in_sandbox "$ROOT/build-bench/bench/group_bench" "$@"
        # 100,000 generated people with every detail, and a group of them all.
        ZNG_SANDBOX_SIZE=2g ZNG_DB_MAXSIZE=536870912 \
            in_sandbox "$ROOT/build-bench/bench/member_details_bench" "$@"
        # 100,000 people and 10,000 groups need more room than the sandbox's default.
        ZNG_SANDBOX_SIZE=6g ZNG_DB_MAXSIZE=2147483648 in_sandbox "$ROOT/build-bench/bench/scale_bench" "$@"
        ;;
    soak)
        install_packages
        configure_and_build "$ROOT/build-bench" -DCMAKE_BUILD_TYPE=Release \
            -DZNGROUPS_BUILD_TESTS=OFF
        shift
        in_sandbox "$ROOT/build-bench/bench/admind_soak" "$@"
        ;;
    *)
        sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
        exit 2
        ;;
esac
