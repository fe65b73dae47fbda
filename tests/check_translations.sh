#!/bin/sh
# Runs lupdate over app/ and core/ into a copy of the English catalogue and
# fails when a text has no finished translation or a translation lost its
# text: the catalogue must be brought up to date (translations/README.md).
# Usage: check_translations.sh LUPDATE SOURCE_DIR TS_FILE [LUPDATE_OPTION...]
set -eu
lupdate=$1
root=$2
ts=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/copy.ts"
# The texts gone from the sources are kept, marked, so that they are seen.
options=
for option in "$@"; do
    [ "$option" = -no-obsolete ] || options="$options $option"
done
cd "$root"
# shellcheck disable=SC2086 # the options are words
"$lupdate" $options -silent app core -ts "$work/copy.ts"
# A message is unfinished when new or changed, vanished or obsolete when its
# text has gone from the sources.
if grep -n -B3 -E 'type="(unfinished|vanished|obsolete)"' "$work/copy.ts"; then
    echo "The English catalogue is not up to date with the sources: see translations/README.md" >&2
    exit 1
fi
echo "Every text has its English."
