# Shared by the scripts: package set-up, build, Wine and the virtual display.
# Source it; it defines functions and sets ROOT.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PACKAGES="g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 \
wine wine64 fonts-wine fonts-liberation fonts-wqy-microhei locales xvfb xauth x11-utils xdotool imagemagick \
cmake make googletest python3 zip unzip"
# The system locales under which the tests run Wine besides en_US: Wine takes
# its Windows locale (ANSI and OEM code pages) from LANG.
KB_LOCALES="ru_RU.UTF-8 zh_CN.UTF-8"

kb_setup() {
    local missing=()
    for p in $PACKAGES; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    if [ ${#missing[@]} -ne 0 ]; then
        echo "Installing: ${missing[*]}"
        $sudo apt-get update -q >/dev/null
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
    fi
    kb_locales
}

# Generates the system locales of KB_LOCALES that are missing.
kb_locales() {
    local sudo="" loc gen=0
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    for loc in $KB_LOCALES; do
        locale -a 2>/dev/null | grep -qix "${loc%%.*}.utf8" && continue
        $sudo sed -i "s/^# *\($loc UTF-8\)/\1/" /etc/locale.gen
        grep -q "^$loc UTF-8" /etc/locale.gen || echo "$loc UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
        gen=1
    done
    [ $gen -eq 0 ] || $sudo locale-gen >/dev/null
}

# kb_build PRESET [TARGET...]: configures and builds a preset (x64, i686),
# all of it or the targets named.
kb_build() {
    local preset="$1"; shift
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    cmake --preset "$preset" -S "$ROOT" >/dev/null || return 1
    cmake --build "$ROOT/build/$preset" -j2 "${targets[@]}" || return 1
}

# kb_wine_env [fresh]: the project's Wine prefix; with "fresh", Wine
# programs still running in it are ended first, since its desktop belongs to
# the display they were started on.
kb_wine_env() {
    export WINEPREFIX="${WINEPREFIX:-$ROOT/build/wineprefix}"
    export WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
    if [ "${1:-}" = fresh ]; then
        wineserver -k 2>/dev/null
        wineserver -w 2>/dev/null
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Making a Wine prefix in $WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        # One virtual desktop for every program of the prefix: windows get
        # their frames drawn by Wine, and hiding or destroying a window does
        # not wait on an X window manager that a virtual display lacks.
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
        wineserver -w
    fi
}

# Starts a virtual display unless one is usable; sets DISPLAY and KB_XVFB_PID.
kb_display() {
    KB_XVFB_PID=""
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        KB_XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 1 50); do
            xdpyinfo >/dev/null 2>&1 && return 0
            sleep 0.1
        done
        kill "$KB_XVFB_PID" 2>/dev/null
    done
    echo "Cannot start a virtual display" >&2
    return 1
}

kb_stop_display() {
    [ -n "${KB_XVFB_PID:-}" ] && kill "$KB_XVFB_PID" 2>/dev/null
    KB_XVFB_PID=""
}
