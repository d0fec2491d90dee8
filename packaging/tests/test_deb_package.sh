#!/usr/bin/env bash
# Builds the Debian package with CPack in a scratch folder and checks it:
# exactly the expected files, each where the desktop looks for it; icons of
# the sizes their folders claim; library dependencies worked out from the
# program; the program linked with the system hidapi; maintainer scripts
# that reload udev and survive a machine without it.
#
# Usage: test_deb_package.sh BUILD_DIR SCRATCH_DIR APP_ID "ICON_SIZES" RULES_PATH

set -uo pipefail

build=${1:?usage: test_deb_package.sh BUILD_DIR SCRATCH_DIR APP_ID ICON_SIZES RULES_PATH}
scratch=${2:?}
app_id=${3:?}
read -r -a icon_sizes <<<"${4:?}"
rules_path=${5:?}
program=kelvora-camera-config

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

source "$(dirname "$0")/build_deb.sh"
build_deb "$build" "$scratch"
echo "built $(basename "$deb")"

# --- Files -------------------------------------------------------------------
cli=kelvora-camera-cli
expected=(
    "./usr/bin/$program"
    "./usr/bin/$cli"
    "./usr/share/man/man1/$cli.1.gz"
    "./usr/share/man/man1/$program.1.gz"
    "./usr/share/doc/$program/copyright"
    "./usr/share/doc/$program/changelog.gz"
    "./usr/share/bash-completion/completions/$cli"
    ".$rules_path"
    "./usr/share/applications/$app_id.desktop"
    "./usr/share/metainfo/$app_id.metainfo.xml"
    "./usr/share/icons/hicolor/scalable/apps/$app_id.svg"
)
for size in "${icon_sizes[@]}"; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
listing=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [[ $listing != "$wanted" ]]; then
    fail "the package's files differ from the expected ones (< missing, > extra):"
    diff <(echo "$wanted") <(echo "$listing") | grep '^[<>]' | sed 's/^/    /'
else
    echo "ok: files"
    sed 's/^/    /' <<<"$listing"
fi
if dpkg-deb -c "$deb" | awk '$1 !~ /^d/ && $2 != "root/root" { bad = 1 } END { exit !bad }'; then
    fail "files not owned by root in the package"
fi

# --- Control fields ------------------------------------------------------------
package=$(dpkg-deb -f "$deb" Package)
[[ $package == "$program" ]] || fail "package name '$package', expected '$program'"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libhidapi-hidraw0 libqt5widgets5 libqt5svg5 libgcab-1.0-0 libc6; do
    if ! grep -Eq "(^|, )$needed( |,|$)" <<<"$depends"; then
        fail "Depends lacks $needed: $depends"
    fi
done
[[ -n $(dpkg-deb -f "$deb" Maintainer) ]] || fail "no Maintainer"
[[ -n $(dpkg-deb -f "$deb" Description) ]] || fail "no Description"
echo "ok: control (Depends: $depends)"

# --- Maintainer scripts ----------------------------------------------------------
control=$scratch/control
dpkg-deb -e "$deb" "$control"
stubs=$scratch/stubs
empty=$scratch/empty-path
mkdir -p "$stubs" "$empty"
# udevadm that records its arguments and then fails, as it does in a
# container where udev is not running.
cat >"$stubs/udevadm" <<STUB
#!/bin/sh
echo "\$*" >>"$scratch/udevadm.log"
exit 1
STUB
chmod +x "$stubs/udevadm"
for script in postinst postrm; do
    if [[ ! -x $control/$script ]]; then
        fail "no executable $script in the package"
        continue
    fi
    sh -n "$control/$script" || fail "$script is not valid sh"
done
if [[ -x $control/postinst ]]; then
    : >"$scratch/udevadm.log"
    PATH="$stubs:/usr/bin:/bin" /bin/sh "$control/postinst" configure ||
        fail "postinst fails when udevadm fails"
    grep -qx 'control --reload-rules' "$scratch/udevadm.log" || fail "postinst does not reload the udev rules"
    grep -qx 'trigger --subsystem-match=hidraw' "$scratch/udevadm.log" ||
        fail "postinst does not trigger the hidraw devices"
    PATH="$empty" /bin/sh "$control/postinst" configure ||
        fail "postinst fails where udevadm is not installed"
fi
if [[ -x $control/postrm ]]; then
    PATH="$stubs:/usr/bin:/bin" /bin/sh "$control/postrm" remove || fail "postrm fails when udevadm fails"
    PATH="$empty" /bin/sh "$control/postrm" remove || fail "postrm fails where udevadm is not installed"
fi
echo "ok: maintainer scripts"

# --- Contents ----------------------------------------------------------------------
root=$scratch/root
dpkg-deb -x "$deb" "$root"
binary=$root/usr/bin/$program

# The installed program is the real one: hidapi comes from the system
# library, not from the virtual camera the demo and the tests link.
readelf -d "$binary" | grep -q 'NEEDED.*\[libhidapi-hidraw\.so' ||
    fail "$program does not load libhidapi-hidraw"
readelf --dyn-syms -W "$binary" | awk '$7 == "UND" && $8 ~ /^hid_open(@|$)/ { found = 1 } END { exit !found }' ||
    fail "$program does not import hid_open from a shared library"
# The command-line tool too, and its manual and completion are the real ones.
cli_binary=$root/usr/bin/$cli
readelf -d "$cli_binary" | grep -q 'NEEDED.*\[libhidapi-hidraw\.so' || fail "$cli does not load libhidapi-hidraw"
readelf -d "$cli_binary" | grep -q 'NEEDED.*\[libQt5Widgets' && fail "$cli loads the widget library"
"$cli_binary" --version | grep -qx "$cli [0-9.]*" || fail "$cli --version says: $("$cli_binary" --version 2>&1)"
gzip -dc "$root/usr/share/man/man1/$cli.1.gz" | grep -q '^\.TH KELVORA-CAMERA-CLI 1' || fail "the manual is not a section 1 man page"
grep -q '^complete -F _kelvora_camera_cli kelvora-camera-cli' "$root/usr/share/bash-completion/completions/$cli" ||
    fail "the completion does not complete $cli"
gzip -dc "$root/usr/share/man/man1/$program.1.gz" | grep -q '^\.TH KELVORA-CAMERA-CONFIG 1' || fail "$program has no section 1 man page"
# The changelog's last entry is this version: a release that forgets it fails here.
changelog=$scratch/changelog
gzip -dc "$root/usr/share/doc/$program/changelog.gz" >"$changelog"
[[ $(dpkg-parsechangelog -l "$changelog" -S Version 2>/dev/null) == "$(dpkg-deb -f "$deb" Version)" ]] ||
    fail "the changelog's last entry is $(dpkg-parsechangelog -l "$changelog" -S Version 2>&1), the package $(dpkg-deb -f "$deb" Version)"
head -n 1 "$root/usr/share/doc/$program/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "the copyright file is not in Debian's machine-readable format"

# The window finds its menu entry (and so its icon under Wayland) by this name.
# Qt keeps string literals in UTF-16, so both encodings are looked for.
utf16_pattern=
for (( i = 0; i < ${#app_id}; i++ )); do
    char=${app_id:i:1}
    [[ $char == . ]] && char='\.'
    utf16_pattern+="$char\\x00"
done
grep -qaF "$app_id" "$binary" || LC_ALL=C grep -qaP "$utf16_pattern" "$binary" ||
    fail "$program does not name its desktop file $app_id"

desktop=$root/usr/share/applications/$app_id.desktop
[[ $(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop") == "$program" ]] || fail "the desktop file does not start $program"
[[ $(sed -n 's/^Icon=//p' "$desktop") == "$app_id" ]] || fail "the desktop file's icon is not $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
    "$root/usr/share/metainfo/$app_id.metainfo.xml" || fail "the metainfo does not launch $app_id.desktop"

for size in "${icon_sizes[@]}"; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
    [[ -f $icon ]] || continue
    file -b "$icon" | grep -q "^PNG image data, $size x $size," ||
        fail "icon ${size}x${size} is $(file -b "$icon")"
done
echo "ok: contents"

if (( failures > 0 )); then
    echo "$failures problem(s)"
    exit 1
fi
echo "the package is complete"
