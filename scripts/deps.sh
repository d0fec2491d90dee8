# Shared by the run and test scripts: installs the Debian packages the
# project needs, only those missing, and runs apt-get update only then.
# Works as root, or through sudo for a normal user.

BUILD_PACKAGES=(
    build-essential cmake pkg-config
    qtbase5-dev qtbase5-dev-tools
    qttools5-dev qttools5-dev-tools   # Qt Linguist's lupdate and lrelease, and their CMake support
    qttranslations5-l10n  # Qt's own translations of its standard buttons and dialogs
    libqt5svg5            # SVG icon engine: without it the mode icons are blank
    libhidapi-dev         # hidapi headers and the hidraw backend
    libudev-dev           # hot-plug events
    libgcab-dev           # firmware packages (.cab) are read and written with libgcab
    fonts-dejavu-core     # a font for the offscreen tests and bare machines
)

# Checks of the desktop files, the udev rule and the Debian package.
PACKAGING_PACKAGES=(
    desktop-file-utils    # desktop-file-validate
    appstream             # appstreamcli validate
    librsvg2-bin          # rsvg-convert renders the PNG icons
    dpkg-dev              # dpkg-shlibdeps works out the package's library dependencies
    file                  # CPack looks at the program with it before dpkg-shlibdeps
    lintian               # Debian's own checker, run on the built package
)

# Desktop services the tests start for real: a private D-Bus daemon with
# logind played by python3-dbusmock (the sleep inhibitor).
DESKTOP_PACKAGES=(
    dbus                  # dbus-daemon
    python3-dbusmock      # logind's stand-in on the private bus
)

# The real-library tests: the window and hidapi's behaviour against the
# system's libhidapi-hidraw, over hidraw nodes that umockdev emulates.
REALHID_PACKAGES=(
    umockdev              # the preload library that redirects /sys and /dev
    libumockdev-dev       # the testbed the tests build the emulated bus with
)

# The command-line tool's checks: its man page rendered and read back, and
# the example playbook run against the demo program.
CLI_PACKAGES=(
    groff-base            # groff checks the man page for warnings
    man-db                # man -l renders it as a reader sees it
    bsdextrautils         # col strips the rendering's overstrikes
    ansible-core          # ansible-playbook runs examples/ansible against the demo
    gcab                  # lists and unpacks the packages pack writes, and packs others for upgrade
    fwupd                 # fwupdtool get-details reads the packages as the firmware service does
)

# The sanitizer build, the fuzz targets and the leak check.
HARDENING_PACKAGES=(
    clang-14              # builds the fuzz targets
    libclang-rt-14-dev    # libFuzzer and clang's sanitizer runtimes
    valgrind              # scripts/valgrind-session.sh
)

# The tests of the translations and of what a screen reader sees.
LANGUAGE_AND_ACCESS_PACKAGES=(
    locales               # the en_US.UTF-8 locale the English run of the window tests uses
    fonts-wqy-microhei    # Chinese and Japanese glyphs, for measuring those windows
    python3               # the check of the .ts files
    at-spi2-core          # the desktop's accessibility bus and its registry
    python3-pyatspi       # the client library screen readers use
    xvfb                  # a virtual X display for the window on that bus
    dbus-daemon           # dbus-run-session, a private session bus
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "Installing packages needs root: run as root or install sudo." >&2
        return 1
    fi
}

ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Generates the given locales (en_US.UTF-8, ...) unless the system has them.
ensure_locales() {
    local missing=()
    local name
    for name in "$@"; do
        # locale -a lists en_US.UTF-8 as en_US.utf8.
        if ! locale -a 2>/dev/null | grep -qixF "${name/%UTF-8/utf8}"; then
            missing+=("$name")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    echo "Generating locales: ${missing[*]}"
    for name in "${missing[@]}"; do
        if ! grep -qxF "$name UTF-8" /etc/locale.gen 2>/dev/null; then
            echo "$name UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
        fi
    done
    as_root locale-gen
}

build_jobs() {
    nproc 2>/dev/null || echo 2
}
