# Installs the Debian 12 packages the build, the tests and the demo need.
# Sourced by the other scripts; installs only what is missing and says what
# before it does. As root it runs apt-get itself; otherwise through sudo.

# What the programs need to build: lupdate and lrelease (qt6-tools-dev,
# qt6-l10n-tools) build the English catalogue, Qt's own catalogues
# (qt6-translations-l10n) put the boxes and file dialogs in the panel's
# language, and prometheus-cpp serves the metrics page.
velmor_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-serialport-dev libgl-dev
    qt6-charts-dev libqt6opengl6-dev
    qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
    prometheus-cpp-dev
    fonts-noto-cjk
)
# What the tests need besides: GoogleTest, RapidCheck for the model-based
# tests, Qt SVG for the icon test, the
# German locale's sources for the number-text checks, the validators of the
# desktop entry and the metainfo, and PyVISA for the scripting example.
velmor_test_packages=(
    libgtest-dev librapidcheck-dev qt6-svg-dev locales desktop-file-utils appstream
    python3-pyvisa python3-pyvisa-py
)

# Runs a command as root: directly when root already, else through sudo.
velmor_as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        echo "Not root and no sudo: run this as root, or install sudo, to run: $*" >&2
        return 1
    fi
}

# apt-get as root, without questions; it waits for another apt-get to finish.
velmor_apt() {
    velmor_as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"
}

# Installs the build packages and any named as arguments, when missing.
velmor_install_deps() {
    local missing=()
    local pkg
    for pkg in "${velmor_packages[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "About to install with apt-get: ${missing[*]}"
    velmor_apt update -qq
    velmor_apt install -y -qq --no-install-recommends "${missing[@]}"
}

velmor_build() {
    local dir=$1
    shift
    cmake -S "$velmor_root" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}
