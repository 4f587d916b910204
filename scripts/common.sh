# Shared by the scripts: package set-up, build, Wine and the virtual display.
# Source it; it defines functions and sets ROOT.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PACKAGES="g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 \
wine wine64 fonts-wine fonts-liberation fonts-wqy-microhei locales xvfb xauth x11-utils xdotool imagemagick \
cmake make googletest python3 zip unzip mmdebstrap gcc"
# The system locales under which the tests run Wine besides en_US: Wine takes
# its Windows locale (ANSI and OEM code pages) from LANG.
KB_LOCALES="ru_RU.UTF-8 zh_CN.UTF-8 hi_IN.UTF-8"

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
    kb_wine_prefix wine "${1:-}"
}

# kb_win32_env [fresh]: as kb_wine_env, for the 32-bit programs (after
# kb_win32_setup): its own 64-bit prefix with a 32-bit side; KB_WINE32 runs
# a 32-bit program.
kb_win32_env() {
    export WINEPREFIX="$ROOT/build/wineprefix-i686"
    KB_WINE32="$KB_WIN32_BIN/wine-qemu"
    kb_wine_prefix "$KB_WIN32_BIN/wine-qemu64" "${1:-}"
}

# kb_wine_prefix LOADER [fresh]: makes WINEPREFIX with the 64-bit LOADER when
# it is missing.
kb_wine_prefix() {
    local wine="$1"
    export WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
    if [ "${2:-}" = fresh ]; then
        wineserver -k 2>/dev/null
        wineserver -w 2>/dev/null
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Making a Wine prefix in $WINEPREFIX"
        "$wine" wineboot -i >/dev/null 2>&1
        # One virtual desktop for every program of the prefix: windows get
        # their frames drawn by Wine, and hiding or destroying a window does
        # not wait on an X window manager that a virtual display lacks.
        "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
        wineserver -w
    fi
    # No crash debugger: a program that faults must end (and fail its
    # test), not wait in Wine's crash dialog for a click that never comes.
    # Wine starts winedbg when AeDebug names no debugger, so it names one
    # that does not exist; both registry views, for 64- and 32-bit programs.
    if [ ! -f "$WINEPREFIX/kb-no-crash-debugger" ]; then
        local view
        for view in 64 32; do
            "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
                /d kb-no-crash-debugger /f /reg:$view >/dev/null 2>&1 || return 1
        done
        touch "$WINEPREFIX/kb-no-crash-debugger"
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

# The 32-bit programs. This machine kind cannot execute 32-bit code (the
# hypervisor refuses the 32-bit code segment, so neither an installed
# wine32 nor Wine's WoW64 mode starts), so the 32-bit Wine of Debian 12, of
# exactly the installed wine64 version, is unpacked into a folder (never
# installed) and run under qemu-i386 user-mode emulation, taken from Debian
# 13's qemu-user (Debian 12's qemu 7.2 needs close to a minute per process).
# The folder lives outside the clone and is reused while it matches the
# installed Wine. The Wine server and Wine's helpers stay native: the
# prefix is a 64-bit one.
KB_WIN32_DIR="${KB_WIN32_DIR:-/var/tmp/kestrelbox-win32}"
KB_WIN32_BIN="$KB_WIN32_DIR/i386/usr/lib/wine"    # wine-qemu runs a 32-bit program

# The Debian archive the system's own apt uses.
kb_mirror() {
    grep -h -o -E '^(URIs:|deb) +[^ ]+' /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null \
        | awk '{print $2}' | grep -v security | head -n 1
}

# kb_win32_setup: makes KB_WIN32_DIR unless it is ready for the installed
# Wine. Needs the network the first time; says why when it fails.
kb_win32_setup() {
    local ver dir="$KB_WIN32_DIR" root="$KB_WIN32_DIR/i386"
    ver=$(dpkg-query -W -f '${Version}' wine64 2>/dev/null) || { echo "32-bit set-up: wine64 is not installed" >&2; return 1; }
    [ "$(cat "$dir/ready" 2>/dev/null)" = "wine64 $ver" ] && return 0
    local mirror; mirror="${KB_MIRROR:-$(kb_mirror)}"
    [ -n "$mirror" ] || { echo "32-bit set-up: no Debian mirror in the apt sources" >&2; return 1; }
    echo "Setting up the 32-bit Wine $ver under qemu in $dir (downloads about 220 MB)"
    rm -rf "$dir"; mkdir -p "$dir"
    local log="$dir/setup.log"
    mmdebstrap --variant=extract --architectures=i386 \
        --include="wine32=$ver,libwine=$ver,libxrender1,libxrandr2,libxi6,libxcursor1,libxfixes3,libxinerama1,libxcomposite1,libxext6,libx11-6" \
        bookworm "$root" "$mirror" >"$log" 2>&1 \
        || { echo "32-bit set-up: mmdebstrap of Debian 12's i386 wine32 $ver failed (network?); see $log" >&2; return 1; }
    rm -rf "$root"/var/cache/apt/archives/*.deb "$root"/var/lib/apt/lists/*
    # What the packages' scripts would have done (libwine's postinst marks
    # zlib1.dll as builtin), and what qemu's -L must not hide: /tmp, fonts.
    local z="$root/usr/i686-w64-mingw32/lib/zlib1.dll"
    { head -c 64 "$z"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$z"; } \
        >"$root/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll"
    echo 'include /etc/ld.so.conf.d/*.conf' >"$root/etc/ld.so.conf"
    ldconfig -r "$root" || { echo "32-bit set-up: ldconfig failed" >&2; return 1; }
    rm -rf "$root/tmp" "$root/usr/share/fonts"
    # Wine starts each new process through the loader named like its own
    # argv[0], from the folder of its executable: 32-bit ones through
    # wine-qemu (back into qemu), 64-bit ones through wine-qemu64 (a copy of
    # the native loader, which finds the native DLLs through the link).
    mkdir -p "$root/usr/lib/x86_64-linux-gnu"
    ln -sfn /usr/lib/x86_64-linux-gnu/wine "$root/usr/lib/x86_64-linux-gnu/wine"
    cp /usr/lib/wine/wine64 "$KB_WIN32_BIN/wine-qemu64"
    cat >"$KB_WIN32_BIN/wine-qemu" <<'EOF'
#!/bin/sh
d=$(dirname "$(readlink -f "$0")")
exec "$d/qemu-i386" -L "${d%/usr/lib/wine}" -0 "$d/wine-qemu" "$d/wine" "$@"
EOF
    chmod 755 "$KB_WIN32_BIN/wine-qemu"
    kb_win32_trapfix "$root" || { echo "32-bit set-up: building the trap-number shim failed" >&2; return 1; }
    # qemu-i386 from Debian 13, through a private apt configuration.
    local apt="$dir/apt"
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/deb"
    echo "deb $mirror trixie main" >"$apt/sources.list"
    local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
                -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o APT::Architectures=amd64)
    { apt-get "${opts[@]}" update -q && (cd "$apt/deb" && apt-get "${opts[@]}" download qemu-user); } >>"$log" 2>&1 \
        || { echo "32-bit set-up: downloading Debian 13's qemu-user failed (network?); see $log" >&2; return 1; }
    dpkg-deb --fsys-tarfile "$apt"/deb/qemu-user_*.deb | tar -xO ./usr/bin/qemu-i386 >"$KB_WIN32_BIN/qemu-i386" \
        && chmod 755 "$KB_WIN32_BIN/qemu-i386" || { echo "32-bit set-up: unpacking qemu-i386 failed" >&2; return 1; }
    rm -rf "$apt"
    "$KB_WIN32_BIN/qemu-i386" -L "$root" "$KB_WIN32_BIN/wine" --version >>"$log" 2>&1 \
        || { echo "32-bit set-up: the 32-bit Wine does not start under qemu; see $log" >&2; return 1; }
    echo "wine64 $ver" >"$dir/ready"
}

# Under qemu-user a 32-bit page fault reaches Wine's signal handler with no
# valid trap number, and 32-bit Wine turns an unknown trap into an illegal
# instruction (c000001d instead of c0000005, and no guard pages). This
# preloaded shim wraps sigaction for SIGSEGV and puts 14 (page fault) into
# the context's trap number before Wine's handler runs.
kb_win32_trapfix() {
    local root="$1" src="$KB_WIN32_DIR/trapfix.c"
    cat >"$src" <<'EOF'
typedef unsigned int u32;
struct i386_sigaction { void *handler; u32 mask[32]; int flags; void (*restorer)(void); };
struct i386_siginfo { int signo, err, code; void *addr; };
typedef void (*info_handler)(int, void *, void *);
typedef int (*sigaction_fn)(int, const struct i386_sigaction *, struct i386_sigaction *);
extern void *dlsym(void *, const char *);
static info_handler s_segv;
static void fix_segv(int sig, void *info, void *uc)
{
    const struct i386_siginfo *si = info;
    u32 *gregs = (u32 *)((char *)uc + 20);          /* after uc_flags, uc_link, uc_stack */
    if ((si->code == 1 || si->code == 2) && gregs[12] > 31)  /* SEGV_MAPERR/ACCERR; REG_TRAPNO */
        gregs[12] = 14;
    s_segv(sig, info, uc);
}
int sigaction(int sig, const struct i386_sigaction *act, struct i386_sigaction *old)
{
    static sigaction_fn real;
    if (!real)
        real = (sigaction_fn)dlsym((void *)-1l /* RTLD_NEXT */, "sigaction");
    if (sig == 11 && act && (act->flags & 4 /* SA_SIGINFO */) && act->handler != (void *)fix_segv) {
        struct i386_sigaction copy;
        const char *s = (const char *)act;
        char *d = (char *)&copy;
        for (unsigned i = 0; i < sizeof copy; i++)
            d[i] = s[i];
        s_segv = (info_handler)act->handler;
        copy.handler = (void *)fix_segv;
        return real(sig, &copy, old);
    }
    return real(sig, act, old);
}
EOF
    gcc -m32 -O2 -fPIC -shared -nostdlib -ffreestanding -fno-builtin -fno-stack-protector \
        -o "$root/usr/lib/kb-trapfix.so" "$src" "$root/lib/i386-linux-gnu/libc.so.6" || return 1
    echo /usr/lib/kb-trapfix.so >"$root/etc/ld.so.preload"
}
