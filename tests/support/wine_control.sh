#!/bin/sh
# Fault controls for the test programs that run under Wine, which start this script with
# `start /unix` and cannot wait for it: it writes its exit status into DONE_FILE when it ends.
#   wine_control.sh DONE_FILE SANDBOX_DIR stop|start|silence|resume|restore HOST...
done_file=$1 run=$2 action=$3
shift 3

slapd_pid() {
    pid=$(cat "$run/servers/$1/slapd.pid" 2>/dev/null) || return 1
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = slapd ] && echo "$pid"
}

# The kernel stops a process asynchronously; callers expect silence at once.
wait_state() {
    tries=0
    until grep -q "^[0-9]* ([^)]*) $2" "/proc/$1/stat" 2>/dev/null; do
        tries=$((tries + 1))
        [ "$tries" -gt 200 ] && return 1
        sleep 0.01
    done
}

control() {
    dir=$run/servers/$2
    [ -d "$dir" ] || { echo "no sandbox server named '$2'" >&2; return 1; }
    case $1 in
        stop | start) "$run/bin/server-control" "$1" "$dir" ;;
        silence) pid=$(slapd_pid "$2") && kill -STOP "$pid" && wait_state "$pid" T ;;
        resume) pid=$(slapd_pid "$2") && kill -CONT "$pid" && "$run/bin/server-control" answers "$dir" ;;
        # As RestoreServer on Linux: a healthy or resumed server answers at once, anything
        # else gets the start script.
        restore)
            if pid=$(slapd_pid "$2"); then kill -CONT "$pid"; fi
            "$run/bin/server-control" answers "$dir" || "$run/bin/server-control" start "$dir"
            ;;
        *) echo "unknown action $1" >&2; return 2 ;;
    esac
}

status=0
for host in "$@"; do
    control "$action" "$host" || status=1
done
echo "$status" >"$done_file.tmp" && mv "$done_file.tmp" "$done_file"
