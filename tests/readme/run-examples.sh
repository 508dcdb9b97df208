#!/usr/bin/env bash
# Runs every shell example of README.md (each ```sh block) as written, in
# order, in one shell, the way a reader pastes them into one terminal, and
# checks that each ends as the README says: every example must succeed, and
# one followed by an ```output block must print exactly that (a line "..."
# stands for any lines, and "~" for the home directory).  The home directory
# is a new, empty one, so that the install and the device of the examples
# go there.  The one example not run is scripts/test.sh, which runs this.
#
#   tests/readme/run-examples.sh [README]
#
# Needs an X display for the Vantrelo example (scripts/test.sh runs it under
# xvfb-run) and the packages of scripts/setup.sh test.
set -uo pipefail
cd "$(dirname "$0")/../.."
readme=${1:-README.md}

rt_work=$(mktemp -d "${TMPDIR:-/tmp}/readme-examples-XXXXXX")
trap 'rm -rf "$rt_work"' EXIT

# Each example i becomes $rt_work/i.sh, and its output block i.expected.
if ! awk -v dir="$rt_work" '
    /^```/ {
        if (state != "") { last = state; state = ""; next }
        info = substr($0, 4)
        if (info == "sh") {
            n++; state = "sh"; out = dir "/" n ".sh"; printf "" > out
        } else if (info == "output") {
            if (last != "sh") { print "an output block that follows no example" > "/dev/stderr"; bad = 1 }
            state = "output"; out = dir "/" n ".expected"; printf "" > out
        } else {
            state = "other"
        }
        next
    }
    state == "sh" || state == "output" { print > out }
    END { print n + 0 > (dir "/count"); exit bad }
' "$readme"; then
    exit 1
fi
rt_count=$(cat "$rt_work/count")
if [ "$rt_count" -eq 0 ]; then
    echo "readme: no examples in $readme" >&2
    exit 1
fi

# The expected lines, with "..." for any lines, against the actual ones.
rt_matches() {
    awk 'NR == FNR { want[++nw] = $0; next } { got[++ng] = $0 }
        END {
            i = 1; j = 1
            while (i <= nw) {
                if (want[i] == "...") {
                    if (++i > nw) exit 0
                    while (j <= ng && got[j] != want[i]) j++
                    if (j > ng) exit 1
                    continue
                }
                if (j > ng || got[j] != want[i]) exit 1
                i++; j++
            }
            exit j <= ng
        }' "$1" "$2"
}

# On the standard error the runner started with (fd 3): the trap that calls
# it runs inside the example's redirection.
rt_fail() {
    {
        echo "readme: example $rt_i failed: $1"
        sed 's/^/    /' "$rt_work/$rt_i.sh"
        echo "  its output:"
        sed 's/^/    /' "$rt_work/$rt_i.out"
    } >&3
    exit 1
}
exec 3>&2

export HOME="$rt_work/home"
mkdir -p "$HOME"
unset CE_DEVICE_DIR XDG_DATA_HOME
export LC_ALL=C.UTF-8
# Quiet desktop services under a bare X server; they change no behaviour.
export NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory

set +u +o pipefail
for ((rt_i = 1; rt_i <= rt_count; rt_i++)); do
    if [ "$(cat "$rt_work/$rt_i.sh")" = "scripts/test.sh" ]; then
        echo "readme: example $rt_i (scripts/test.sh) is the command that runs these; not run"
        continue
    fi
    rt_start=$(date +%s)
    # A failing command ends the example, as a reader would see it fail.
    trap 'rt_fail "a command ended with status $?"' ERR
    set -e
    source "$rt_work/$rt_i.sh" >"$rt_work/$rt_i.out" 2>&1 </dev/null
    set +e
    trap - ERR
    if [ -f "$rt_work/$rt_i.expected" ]; then
        rt_actual=$(cat "$rt_work/$rt_i.out")
        printf '%s\n' "${rt_actual//"$HOME"/\~}" >"$rt_work/$rt_i.actual"
        if ! rt_matches "$rt_work/$rt_i.expected" "$rt_work/$rt_i.actual"; then
            diff -u "$rt_work/$rt_i.expected" "$rt_work/$rt_i.actual" >&2
            rt_fail "its output is not the README's"
        fi
    fi
    echo "readme: example $rt_i passed ($(( $(date +%s) - rt_start )) s): $(head -n 1 "$rt_work/$rt_i.sh")"
done
echo "readme: all $rt_count examples of $readme ran as written"
