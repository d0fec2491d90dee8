# Sourced by the package's tests: builds the Debian package with CPack in a
# scratch folder, emptied first, and sets `deb` to the one .deb it made.
# Exits with a failure when CPack fails or makes anything but one package.
#
#   build_deb BUILD_DIR SCRATCH_DIR

build_deb() {
    local build=$1 scratch=$2
    rm -rf "$scratch"
    mkdir -p "$scratch"
    if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1; then
        cat "$scratch/cpack.log"
        echo "FAIL: cpack did not build the package"
        exit 1
    fi
    local debs
    shopt -s nullglob
    debs=("$scratch"/*.deb)
    shopt -u nullglob
    if (( ${#debs[@]} != 1 )); then
        echo "FAIL: expected one .deb in $scratch, found ${#debs[@]}"
        exit 1
    fi
    deb=${debs[0]}
}
