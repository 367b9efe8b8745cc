#!/usr/bin/env bash
# check_install.sh CMAKE BUILD: installs the build into an empty prefix and checks what a desktop
# finds there: the program, its desktop entry, the icon at every size, the AppStream metadata, the
# last two validated, and the README's part about the program, which names nothing that is not
# installed; that the Debian package holds that README too; and the systemd user unit, verified as
# an instance that runs the built program. Exits 77, which CTest takes as skipped, when a validator
# is missing.
set -euo pipefail
cmake=$1 build=$2
readme=$(dirname "$0")/../../README.md
prefix=$(mktemp -d)
package=$(mktemp -d)
units=$(mktemp -d)
trap 'rm -rf "$prefix" "$package" "$units"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
# What the Debian package holds: the components cmake/Packaging.cmake has CPack install.
for component in Unspecified debian; do
    "$cmake" --install "$build" --prefix "$package/usr" --component $component >/dev/null
done

fail() { echo "FAIL: $*"; exit 1; }
# The README up to its quick start from the source tree, without its pictures.
about=$(sed -e '/^## Quick start/,$d' -e '/^!\[.*\](.*)$/,+1d' "$readme")
for root in "$prefix" "$package/usr"; do
    installed=$root/share/doc/quillmont/README.md
    [ "$(cat "$installed")" = "$about" ] || fail "$installed is not the README's part about the program"
    ! grep -nE '(scripts|tests|build|demo-server)/|\.png' "$installed" || fail "$installed names what is not installed"
done
id=org.quillmont.Quillmont
desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
[ -x "$prefix/bin/quillmont" ] || fail "bin/quillmont is missing"
grep -qx "Exec=quillmont" "$desktop" || fail "the desktop entry does not start bin/quillmont"
grep -qx "Icon=$id" "$desktop" || fail "the desktop entry does not name the installed icon"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "the metadata does not launch the desktop entry"
for size in 16 24 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
    # A PNG's width and height are the two 4-byte numbers after its first 16 bytes.
    [ "$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')" = "$(printf '%08x%08x' "$size" "$size")" ] \
        || fail "$png is not a ${size}x${size} PNG"
done

unit=$prefix/lib/systemd/user/quillmont-keep@.service
grep -q '^ExecStart=.*/quillmont --keep %f --stop-on-exit$' "$unit" || fail "the unit does not keep its folder"
update=$prefix/lib/systemd/user/quillmont-update@.service
timer=$prefix/lib/systemd/user/quillmont-update@.timer
grep -q "^ExecStart=/.*/quillmont --update %f --if-newer\$" "$update" \
    || fail "the update unit does not update its folder with the program by its absolute path"
for line in Type=oneshot TimeoutStartSec=2h KillMode=process; do
    grep -qx "$line" "$update" || fail "the update unit lacks $line"
done
for line in 'OnCalendar=\*-\*-\* 05:00' RandomizedDelaySec=15min Persistent=true WantedBy=timers.target; do
    grep -qx "$line" "$timer" || fail "the timer lacks $line"
done

for tool in desktop-file-validate appstreamcli systemd-analyze; do
    command -v $tool >/dev/null \
        || { echo "SKIP: $tool is missing (Debian packages desktop-file-utils, appstream and systemd)"; exit 77; }
done
# The template checked as an instance, for /srv/hlds, running the program just built. A mistyped
# directive only warns, so any output at all fails.
sed "s|^ExecStart=[^ ]*|ExecStart=$prefix/bin/quillmont|" "$unit" > "$units/quillmont-keep@srv-hlds.service"
sed "s|^ExecStart=[^ ]*|ExecStart=$prefix/bin/quillmont|" "$update" > "$units/quillmont-update@srv-hlds.service"
cp "$timer" "$units/quillmont-update@srv-hlds.timer"
mkdir -m 700 "$units/runtime"
for instance in quillmont-keep@srv-hlds.service quillmont-update@srv-hlds.service quillmont-update@srv-hlds.timer; do
    report=$(cd "$units" && XDG_RUNTIME_DIR=$units/runtime systemd-analyze verify --user --man=no "$units/$instance" 2>&1) \
        && [ -z "$report" ] || fail "systemd-analyze on $instance: $report"
done
# The validator passes hints and even some errors with status 0, so any output at all fails.
report=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$report" ] || fail "desktop-file-validate: $report"
appstreamcli validate --no-net --strict "$metainfo" || fail "appstreamcli found problems"
echo "installed and valid"
