#!/bin/bash
# Soak figures of the real program under Wine: 1000 commands in one run with
# the process's handle and GDI object counts before and after, 50 closes of
# the window during a 64 MiB flood, and Esc during a flood timed from the key
# to the abort line. Prints figures; judging them is for people.
#   bench/soak.sh [commands N] [closes N] [esc N]   (default: all three)
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
cd "$ROOT"
kb_build x64 Kestrelbox adbsim kbsoak >/dev/null || { echo "build failed"; exit 1; }
kb_display || exit 1
# A display of our own is new to a Wine server left from an earlier run.
kb_wine_env ${KB_XVFB_PID:+fresh}
trap kb_stop_display EXIT

steps=("$@")
[ ${#steps[@]} -eq 0 ] && steps=(commands 1000 closes 50 esc 10)
rc=0
while [ ${#steps[@]} -ge 2 ]; do
    echo "== soak ${steps[0]} ${steps[1]}"
    # One Wine program at a time on this machine.
    flock -o /tmp/kb-wine.lock wine build/x64/kbsoak.exe "${steps[0]}" "${steps[1]}" || rc=1
    steps=("${steps[@]:2}")
done
exit $rc
