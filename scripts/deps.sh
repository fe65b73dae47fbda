# Installs the Debian 12 packages the build, the tests and the demo need.
# Sourced by the other scripts; installs only what is missing.

velmor_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-serialport-dev libgl-dev
    qt6-charts-dev libqt6opengl6-dev
    fonts-noto-cjk
    libgtest-dev
)

velmor_install_deps() {
    local missing=()
    local pkg
    for pkg in "${velmor_packages[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

velmor_build() {
    local dir=$1
    shift
    cmake -S "$velmor_root" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}
