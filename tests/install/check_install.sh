#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what lands there: the
# file list, one desktop name shared by the entry, the icons and the
# metainfo, the bitmaps' sizes, the version in the metainfo and changelog,
# the trend and remote modules where the panel looks for them (MODULE_DIR,
# relative to the panel's folder) with everything they need from the panel
# exported, and the
# entry and metainfo against their validators. Exits with 77 (CTest's skip)
# after the other checks when a validator is not installed.
#
#   check_install.sh BUILD_DIR PROJECT_VERSION MODULE_DIR
set -euo pipefail
if [ $# -ne 3 ]; then
    echo "usage: check_install.sh BUILD_DIR PROJECT_VERSION MODULE_DIR" >&2
    exit 2
fi
build=$1
version=$2
modules_from_bin=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install" >&2
    exit 1
fi

desktop_files=("$prefix"/share/applications/*.desktop)
if [ ${#desktop_files[@]} -ne 1 ] || [ ! -f "${desktop_files[0]}" ]; then
    echo "FAIL: expected one desktop entry, found: ${desktop_files[*]}" >&2
    exit 1
fi
id=$(basename "${desktop_files[0]}" .desktop)
echo "desktop name: $id"

modules=$(realpath -m --relative-to="$prefix" "$prefix/bin/$modules_from_bin")
expected=$(sort <<EOF_LIST
$modules/velmor-remote.so
$modules/velmor-trend.so
bin/velmor-headless
bin/velmor-monitor
bin/velmor-supply-sim
lib/systemd/system/velmor-headless@.service
share/applications/$id.desktop
share/doc/velmor-monitor/README.md
share/doc/velmor-monitor/SECURITY.md
share/doc/velmor-monitor/changelog.gz
share/doc/velmor-monitor/copyright
share/icons/hicolor/128x128/apps/$id.png
share/icons/hicolor/256x256/apps/$id.png
share/icons/hicolor/48x48/apps/$id.png
share/icons/hicolor/scalable/apps/$id.svg
share/man/man1/velmor-headless.1.gz
share/man/man1/velmor-monitor.1.gz
share/man/man1/velmor-supply-sim.1.gz
share/metainfo/$id.metainfo.xml
EOF_LIST
)
installed=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort)
if [ "$installed" != "$expected" ]; then
    fail "installed files differ from the expected list:"
    diff <(echo "$expected") <(echo "$installed") >&2 || true
fi

for program in velmor-headless velmor-monitor velmor-supply-sim; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done

for module in velmor-remote.so velmor-trend.so; do
    sh "$(dirname "$0")/../check_module_symbols.sh" "$prefix/bin/velmor-monitor" \
        "$prefix/$modules/$module" ||
        fail "the installed $module does not resolve against the installed panel"
done

desktop=${desktop_files[0]}
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(entry Icon)" = "$id" ] || fail "desktop entry: Icon=$(entry Icon), expected $id"
[ "$(entry Exec)" = velmor-monitor ] || fail "desktop entry: Exec=$(entry Exec)"

metainfo=$prefix/share/metainfo/$id.metainfo.xml
grep -q "<id>$id</id>" "$metainfo" || fail "metainfo: no <id>$id</id>"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "metainfo: the launchable is not $id.desktop"
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
[ "$release" = "$version" ] || fail "metainfo: newest release $release, project version $version"
changelog=$(gzip -dc "$prefix/share/doc/velmor-monitor/changelog.gz" | sed -n '1s/.*(\(.*\)).*/\1/p')
[ "$changelog" = "$version" ] || fail "changelog: newest entry $changelog, project version $version"

# A PNG's width and height are the big-endian words at bytes 16 and 20.
for side in 48 128 256; do
    png=$prefix/share/icons/hicolor/${side}x${side}/apps/$id.png
    [ -f "$png" ] || continue
    read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
    width=$((((w1 * 256 + w2) * 256 + w3) * 256 + w4))
    height=$((((h1 * 256 + h2) * 256 + h3) * 256 + h4))
    [ "$width" -eq "$side" ] && [ "$height" -eq "$side" ] ||
        fail "${side}x${side}/apps/$id.png is $width x $height"
done

unit=$prefix/lib/systemd/system/velmor-headless@.service
grep -q '^ExecStart=.*/velmor-headless --port' "$unit" || fail "service template: no ExecStart of velmor-headless"
grep -q '^SupplementaryGroups=dialout' "$unit" || fail "service template: not in dialout"

for page in velmor-headless velmor-monitor velmor-supply-sim; do
    gzip -t "$prefix/share/man/man1/$page.1.gz" || fail "man page $page.1.gz is not gzip"
done

missing=()
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
else
    missing+=("desktop-file-validate (Debian package desktop-file-utils)")
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
else
    missing+=("appstreamcli (Debian package appstream)")
fi

[ "$failed" -eq 0 ] || exit 1
if [ ${#missing[@]} -gt 0 ]; then
    echo "SKIPPED the validation: not installed: ${missing[*]}"
    exit 77
fi
echo "installed files, names, versions and validation: all good"
