#!/usr/bin/env bash
# Saves under hostile conditions and checks that the previous file survives whole:
#  1. disk full: a small tmpfs (needs root; skipped otherwise) holds a good file, a 30 MB table is
#     saved over it; the good file must stay byte-identical with no temporary file left behind;
#  2. sweep: on a small tmpfs (needs root; skipped otherwise) every writer, with a small and a large
#     file, saves over a good file with 0, 4, 12, 20, 40 and 60 KiB left free; counts false successes,
#     damaged earlier files and temporaries left (all must be 0);
#  3. SIGKILL: a process saving two tables in turn over one file is killed at random moments; the
#     file must always hold one whole table.
# Usage: scripts/save_safety.sh [build-dir] [kills]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
kills=${2:-12}
driver="$build/bin/bench_save_safety"
[ -x "$driver" ] || cmake --build "$build" --target bench_save_safety >/dev/null || exit 1
work=$(mktemp -d)
trap 'umount "$work/full" "$work/sweep" 2>/dev/null; rm -rf "$work"' EXIT

echo "== disk full"
mkdir "$work/full"
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=64k tmpfs "$work/full" 2>/dev/null; then
    printf 'Good,File\n1,2\n3,4\n' > "$work/full/good.csv"
    cp "$work/full/good.csv" "$work/good.copy"
    "$driver" fill "$work/full/good.csv" 400000
    if cmp -s "$work/full/good.csv" "$work/good.copy"; then echo "old file byte-identical: yes"
    else echo "old file byte-identical: NO"; fi
    echo "files left in the folder: $(ls -A "$work/full" | wc -l) (1 expected)"
    umount "$work/full"
else
    echo "skipped (needs root to mount a small tmpfs)"
fi

echo "== full-disk sweep over every writer"
sweep_failed=0
mkdir "$work/sweep"
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=2m tmpfs "$work/sweep" 2>/dev/null; then
    "$driver" sweep "$work/sweep" || sweep_failed=1
    umount "$work/sweep"
else
    echo "skipped (needs root to mount a small tmpfs)"
fi

echo "== SIGKILL during saves ($kills runs)"
file="$work/kill.csv"
"$driver" loop "$file" & pid=$!
sleep 2; kill -9 $pid; wait $pid 2>/dev/null
whole=0; other=0
for i in $(seq "$kills"); do
    "$driver" loop "$file" & pid=$!
    sleep "0.$(( (RANDOM % 9) + 1 ))$(( RANDOM % 10 ))"
    kill -9 $pid; wait $pid 2>/dev/null
    case $("$driver" check "$file") in
        A|B) whole=$((whole + 1)) ;;
        *) other=$((other + 1)) ;;
    esac
done
echo "whole old or new file: $whole of $kills; cut or mixed: $other"
echo "temporary files left behind: $(ls -A "$work" | grep -c 'kill.csv.')"
[ "$other" = 0 ] && [ "$sweep_failed" = 0 ]
