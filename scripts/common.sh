# Shared by the scripts: package installation and the Wine environment.
# Source it; it defines functions and exports nothing until they are called.

VT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs the Debian packages that are missing (as root, or through sudo).
vt_install_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    vt_apt_update || return 1
    DEBIAN_FRONTEND=noninteractive $(vt_sudo) apt-get install -y -qq --no-install-recommends "${missing[@]}" \
        >/dev/null || return 1
}

# "sudo" unless this is root.
vt_sudo() {
    [ "$(id -u)" -eq 0 ] || echo sudo
}

# Reads the package lists once per run (scripts called by scripts/test inherit it).
vt_apt_update() {
    [ -n "${VT_APT_UPDATED:-}" ] && return 0
    $(vt_sudo) apt-get update -qq || return 1
    export VT_APT_UPDATED=1
}

# What every native build needs.
VT_NATIVE_PACKAGES=(cmake make g++ clang-format git libgtest-dev libgmock-dev googletest libbenchmark-dev python3
    shared-mime-info xkb-data iso-codes)
# What the benchmarks add: the XML libraries they compare with, the packages whose
# XML files they read (bench/xml_compare_bench.cpp), linux-perf for profiling.
VT_BENCH_PACKAGES=(libpugixml-dev libtinyxml2-dev fontconfig-config dbus-session-bus-common
    wayland-protocols gsettings-desktop-schemas libgirepository1.0-dev linux-perf)
# What the fuzz targets need (clang with its libFuzzer runtime).
VT_FUZZ_PACKAGES=(clang libclang-rt-dev)
# What the Windows leg needs.
VT_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine64 wine)
# What the release checks need: the Debian package tools (the package build
# installs its own build dependencies), pkg-config, the ABI tools, Doxygen.
VT_RELEASE_PACKAGES=(dpkg-dev debhelper lintian autopkgtest pkg-config abigail-tools doxygen)

# A private Wine prefix and one persistent wineserver, so each program start is cheap.
vt_start_wine() {
    export WINEPREFIX="$VT_ROOT/build/wine-prefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$WINEPREFIX"
    wineserver -p >/dev/null 2>&1 || true
    # The first start of a fresh prefix sets it up; do it once, outside any timing.
    /usr/lib/wine/wine64 cmd.exe /c exit >/dev/null 2>&1 || true
}

vt_stop_wine() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
}
