#!/usr/bin/env bash
# Take a screenshot of the tool's main window on a private virtual X display.
#
# Usage: scripts/screenshot.sh [program] [output.png] [program arguments...]
#   program     defaults to build/kelvora-camera-config
#   output.png  defaults to docs/screenshot.png
#
# Needs the Debian packages xvfb, x11-utils and imagemagick. The window is
# found by its title; set SCREENSHOT_TITLE to capture a different window.
# Set SCREENSHOT_READY_TEXT to a line the program prints on its standard
# output once the window shows what is wanted; the capture waits for it.

set -euo pipefail

program=${1:-build/kelvora-camera-config}
output=${2:-docs/screenshot.png}
shift $(( $# > 2 ? 2 : $# ))

title=${SCREENSHOT_TITLE:-"Kelvora Camera 2 Config (v1.0.7)"}
ready_text=${SCREENSHOT_READY_TEXT:-}
window_timeout_s=20   # how long the program may take to map its window
ready_timeout_s=60    # how long it may take to print the ready line
settle_s=2            # lets deferred layout work finish before the capture
screen_geometry=${SCREENSHOT_GEOMETRY:-1280x1024x24}  # SCREENSHOT_GEOMETRY for a larger screen

for tool in Xvfb xwininfo import; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "screenshot: '$tool' not found (install xvfb, x11-utils and imagemagick)" >&2
        exit 2
    fi
done
if [[ ! -x $program ]]; then
    echo "screenshot: '$program' is not an executable file" >&2
    exit 2
fi

workdir=$(mktemp -d)
xvfb_pid=
program_pid=

cleanup() {
    # Only the two processes this script started are stopped.
    if [[ -n $program_pid ]] && kill -0 "$program_pid" 2>/dev/null; then
        kill "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true
    fi
    if [[ -n $xvfb_pid ]] && kill -0 "$xvfb_pid" 2>/dev/null; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$workdir"
}
trap cleanup EXIT

# Xvfb picks a free display number itself and writes it to fd 3 once it
# accepts connections, so no lock files need to be guessed.
Xvfb -displayfd 3 -screen 0 "$screen_geometry" -nolisten tcp \
    3>"$workdir/display" 2>"$workdir/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s $workdir/display ]] && break
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
        echo "screenshot: Xvfb did not start:" >&2
        cat "$workdir/xvfb.log" >&2
        exit 1
    fi
    sleep 0.1
done
if [[ ! -s $workdir/display ]]; then
    echo "screenshot: Xvfb did not report a display" >&2
    exit 1
fi
DISPLAY=":$(head -n1 "$workdir/display")"
export DISPLAY

# Draw through X even if the caller's environment asks Qt for offscreen.
if [[ -n $ready_text ]]; then
    QT_QPA_PLATFORM=xcb "$program" "$@" >"$workdir/stdout" &
else
    QT_QPA_PLATFORM=xcb "$program" "$@" &
fi
program_pid=$!

# Wait for a viewable top-level window with the expected title.
window_id=
deadline=$(( SECONDS + window_timeout_s ))
while (( SECONDS < deadline )); do
    if ! kill -0 "$program_pid" 2>/dev/null; then
        echo "screenshot: '$program' exited before showing its window" >&2
        exit 1
    fi
    while read -r id; do
        if xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
            window_id=$id
            break
        fi
    done < <(xwininfo -root -tree 2>/dev/null |
             grep -F "\"$title\"" | awk '{ print $1 }')
    [[ -n $window_id ]] && break
    sleep 0.2
done
if [[ -z $window_id ]]; then
    echo "screenshot: no window titled '$title' within ${window_timeout_s} s" >&2
    exit 1
fi

if [[ -n $ready_text ]]; then
    deadline=$(( SECONDS + ready_timeout_s ))
    until grep -qxF -- "$ready_text" "$workdir/stdout"; do
        if ! kill -0 "$program_pid" 2>/dev/null; then
            echo "screenshot: '$program' exited before printing '$ready_text'" >&2
            cat "$workdir/stdout" >&2
            exit 1
        fi
        if (( SECONDS >= deadline )); then
            echo "screenshot: no '$ready_text' from '$program' within ${ready_timeout_s} s" >&2
            exit 1
        fi
        sleep 0.2
    done
fi

sleep "$settle_s"

mkdir -p "$(dirname "$output")"
import -window "$window_id" "$output"
echo "screenshot: saved window $window_id to $output"
