# Shared by the scripts in tools/: the project's root, apt installs and preset builds.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Installs the Debian packages whose probe fails. Arguments: "probe-command|package" pairs, where
# the probe is a command name or an absolute path.
ensure_packages() {
    local missing=() pair probe package
    for pair in "$@"; do
        probe=${pair%%|*}
        package=${pair#*|}
        if [[ $probe == /* ]]; then [ -e "$probe" ] && continue; else command -v "$probe" >/dev/null 2>&1 && continue; fi
        missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null 2>&1 ||
        { apt-get update >/dev/null && apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null; }
}

# Configures the preset's build tree when it has none yet, then builds it.
build_preset() {
    local preset=$1
    [ -f "$root/build/$preset/build.ninja" ] || cmake --preset "$preset" -S "$root" >/dev/null || return 1
    cmake --build "$root/build/$preset"
}

# What the native program needs to build.
ensure_native_toolchain() {
    ensure_packages "cmake|cmake" "ninja|ninja-build" "g++|g++" "python3|python3" \
        "/usr/src/googletest/CMakeLists.txt|googletest" "flock|util-linux"
}
