#!/bin/sh
# Every symbol the trend module leaves undefined is found when the program
# loads it: exported by the program, or defined by a library the module
# itself needs. A core function that only the module calls and that the
# program's link left out shows up here rather than on the first Ctrl+T.
program=$1
module=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
nm -D --defined-only "$program" | awk '{ print $NF }' >"$work/defined"
for lib in $(ldd "$module" | awk '$2 == "=>" && $3 ~ /^\// { print $3 }'); do
    nm -D --defined-only "$lib" | awk '{ print $NF }' | sed 's/@.*//' >>"$work/defined"
done
sort -u -o "$work/defined" "$work/defined"
nm -D --undefined-only "$module" | awk '$1 == "U" { print $2 }' | sed 's/@.*//' | sort -u >"$work/needed"
missing=$(comm -23 "$work/needed" "$work/defined")
if [ -n "$missing" ]; then
    echo "the module needs what neither the program nor its libraries define:" >&2
    echo "$missing" | c++filt >&2
    exit 1
fi
[ -s "$work/needed" ] || {
    echo "no undefined symbols read from $module" >&2
    exit 1
}
