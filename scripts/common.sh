# Shared by the scripts in this folder: the Debian packages Quillmont needs, and one build step.

# Liberation's widths are those the windows are laid out for; Symbola draws the symbols that stand
# for control characters in players' names.
BUILD_PACKAGES=(g++ cmake ninja-build qt6-base-dev libgl-dev libxcb1-dev fonts-liberation2 fonts-symbola)
# The validators the install test runs on the desktop entry and the AppStream metadata, the X
# The validators the install test runs on the desktop entry and the AppStream metadata, the X
# server and window manager the centring test runs under, the session bus (dbus-daemon, with its
# session configuration; dbus-send) and accessibility bus (at-spi-bus-launcher, at-spi2-registryd)
# that tests on an X server have, the library that has host names looked up in a file of the tests'
# own, ip, with which the network tests give their own loopback a network with a broadcast
# address, systemd-analyze, which verifies the systemd user unit, and the time zones in which the
# daily restart is reckoned.
TEST_PACKAGES=(desktop-file-utils appstream xvfb openbox dbus-daemon dbus-bin at-spi2-core libnss-wrapper iproute2
    systemd tzdata)
# What makes and checks the Debian package; CPack finds the program's libraries with file.
PACKAGE_PACKAGES=(dpkg-dev lintian desktop-file-utils appstream file)

# Installs those of the given packages that are not installed yet, as root or through sudo.
install_missing() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local as_root=()
    [ "$(id -u)" -eq 0 ] || as_root=(sudo)
    echo "Installing ${missing[*]}"
    "${as_root[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y "${missing[@]}"
}

# build <folder> [cmake options...]: configures and builds with warnings as errors; a release build
# unless told otherwise, since the sanitizer build is the one with debugging information.
build() {
    local folder=$1
    shift
    cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
    cmake --build "$folder"
}
