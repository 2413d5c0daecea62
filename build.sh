#!/usr/bin/env bash
# Installs what zngroups needs, builds it, and runs the demonstration or the test suites.
#   ./build.sh demo    build, show what the library reads from the sandboxed sample directory,
#                      and make a change through the administration server
#   ./build.sh test    build with the sanitizers and run every test inside the sandbox
#   ./build.sh deps    only install the Debian packages
#   ./build.sh bench   build optimised and run the benchmarks inside the sandbox
#   ./build.sh fuzz [seconds]  run every fuzz target that long (default 600 s each)
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
MAIL_DOMAIN="${ZNGROUPS_MAIL_DOMAIN:-example.com}"
JOBS="$(nproc 2>/dev/null || echo 2)"
PACKAGES=(cmake make g++ pkg-config libldap-dev slapd ldap-utils libgtest-dev libgmock-dev
          libbenchmark-dev libsqlite3-dev iproute2 util-linux procps clang libclang-rt-14-dev)

install_packages() {
    local missing=()
    for package in "${PACKAGES[@]}"; do
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
TSAN_TESTS='^(ConcurrentObjects\.|AdminServer\.Concurrent|MessageSpool\.Concurrent|AdminChannel\.)'
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

case "${1:-}" in
    deps)
        install_packages
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
        install_packages
        configure_and_build "$ROOT/build-test" -DCMAKE_BUILD_TYPE=Debug -DZNGROUPS_SANITIZE=ON \
            -DZNGROUPS_BUILD_BENCH=OFF
        in_sandbox ctest --test-dir "$ROOT/build-test" --output-on-failure
        run_thread_sanitizer
        run_fuzzers 20
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
        for bench in session_bench admin_bench group_bench admind_bench; do
            in_sandbox "$ROOT/build-bench/bench/$bench" "$@"
        done
        # 100,000 people and 10,000 groups need more room than the sandbox's default.
        ZNG_SANDBOX_SIZE=6g ZNG_DB_MAXSIZE=2147483648 in_sandbox "$ROOT/build-bench/bench/scale_bench" "$@"
        ;;
    *)
        sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'
        exit 2
        ;;
esac
