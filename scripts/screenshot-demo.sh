#!/usr/bin/env bash
# Pictures of the demo for the README, each taken on a private virtual X
# display: the camera connected, the upgrade panel with the device in upgrade
# mode and the sample image chosen, an upload under way, and the notice of a
# camera this user may not open; then the window in German and in
# Simplified Chinese. The demo brings
# its window into each state itself (--screenshot-state) and says when it is
# there; scripts/screenshot.sh takes the picture.
#
# The window shows the path of the image it chose, so the image sits where a
# user would keep it, /home/alex/Downloads/demo-firmware.bin, rather than in
# the build folder of whatever machine made the pictures. That home folder is
# a temporary one, mounted over /home in a mount namespace of the pictures'
# own: the machine's real /home is neither read nor changed. As root this
# needs nothing more; a normal user needs unprivileged user namespaces (on by
# default in Debian 12).
#
# Usage: scripts/screenshot-demo.sh [build-folder] [output-folder]
#   build-folder   defaults to build
#   output-folder  defaults to docs

set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

build=${1:-build}
output=${2:-docs}
user_name=alex

ensure_packages "${BUILD_PACKAGES[@]}" xvfb x11-utils imagemagick locales fonts-wqy-microhei
# The translated pictures run in these locales; xwininfo needs them to print
# a window title that is not Latin.
ensure_locales de_DE.UTF-8 zh_CN.UTF-8
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(build_jobs)" --target kelvora-camera-config-demo make-demo-firmware

# Inside the namespace every path under /home leads to the made-up home, the
# repository's own too if it is a clone in someone's home folder. Paths below
# the working folder still lead where they did: they are kept relative to it.
relative() {
    realpath -m --relative-to="$PWD" "$1"
}
mkdir -p "$output"
build=$(relative "$build")
output=$(relative "$output")
for path in "$build" "$output"; do
    if [[ $path == ../* ]]; then
        echo "screenshot-demo: '$path' must lie inside the repository," \
             "where the namespace's /home does not hide it" >&2
        exit 2
    fi
done

if [ "$(id -u)" -eq 0 ]; then
    namespace=(unshare --mount --propagation private)
elif unshare --user --map-root-user --mount true 2>/dev/null; then
    namespace=(unshare --user --map-root-user --mount --propagation private)
else
    echo "screenshot-demo: the pictures need a home folder of their own mounted over /home," >&2
    echo "which takes root or unprivileged user namespaces. Run the script with sudo, or" >&2
    echo "allow user namespaces (sysctl kernel.unprivileged_userns_clone=1)." >&2
    exit 1
fi

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/$user_name/Downloads"

# The sample image goes out between two window updates; the upload picture
# needs one large enough to take several (8 MiB, paced by the demo).
large_image=$home/$user_name/Downloads/large.bin
"$build/demo/make-demo-firmware" "$large_image" $(( 8 * 1024 * 1024 ))

# Run inside the namespace, with the made-up home in place.
take_pictures() {
    mount --bind "$home" /home
    export HOME=/home/$user_name
    # Qt's private runtime folder, so that it neither warns nor uses /tmp.
    export XDG_RUNTIME_DIR=$HOME/.runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    local image=$HOME/Downloads/demo-firmware.bin
    local demo=$build/kelvora-camera-config-demo

    # The window's own diagnostics are not wanted here.
    export QT_LOGGING_RULES="default.debug=false"
    export SCREENSHOT_READY_TEXT="demo: ready"
    # The source texts, whatever language this machine speaks.
    export LC_ALL=C.UTF-8 LANGUAGE=

    cp "$build/demo-firmware.bin" "$image"
    scripts/screenshot.sh "$demo" "$output/demo-connected.png" --screenshot-state connected
    scripts/screenshot.sh "$demo" "$output/demo-access-notice.png" --screenshot-state no-access
    scripts/screenshot.sh "$demo" "$output/demo-upgrade-panel.png" --screenshot-state upgrade-panel --image "$image"
    # The window in two of its translations. Its title is translated too,
    # and screenshot.sh finds the window by it.
    LC_ALL=de_DE.UTF-8 SCREENSHOT_TITLE="Kelvora Camera 2 Konfiguration (v1.0.7)" \
        scripts/screenshot.sh "$demo" "$output/demo-upgrade-panel-de.png" --screenshot-state upgrade-panel \
        --image "$image"
    LC_ALL=zh_CN.UTF-8 SCREENSHOT_TITLE="Kelvora Camera 2 配置 (v1.0.7)" \
        scripts/screenshot.sh "$demo" "$output/demo-connected-zh_CN.png" --screenshot-state connected
    # The large image under the same name, as the user's download.
    mv "$HOME/Downloads/large.bin" "$image"
    scripts/screenshot.sh "$demo" "$output/demo-uploading.png" --screenshot-state uploading --image "$image"
}
export -f take_pictures
export home build output user_name
"${namespace[@]}" bash -c 'set -euo pipefail; take_pictures'
