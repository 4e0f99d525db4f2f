# Shared set-up for scripts/run, scripts/test and scripts/release: packages, build, Wine prefix,
# display. Sourced, not run. Every path lives under the repository's build/ directory.

VARNEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
VARNEL_BUILD="$VARNEL_ROOT/build"

VARNEL_PACKAGES=(
    cmake make g++ python3 openssl locales
    g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
    wine wine64 fonts-wine xvfb x11-utils imagemagick fonts-wqy-microhei
    nlohmann-json3-dev libutfcpp-dev libgtest-dev clang clang-format libclang-rt-14-dev
    osslsigncode
)

log() { printf '== %s\n' "$*" >&2; }

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs whatever of the project's Debian packages is missing.
varnel_install() {
    local missing=()
    local package
    for package in "${VARNEL_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        log "installing: ${missing[*]}"
        as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
            "${missing[@]}"
    fi
}

# Configures and builds one preset.
varnel_build() {
    local preset=$1
    log "building $preset"
    cmake --preset "$preset" -S "$VARNEL_ROOT" >"$VARNEL_BUILD/cmake-$preset.log" 2>&1 ||
        { cat "$VARNEL_BUILD/cmake-$preset.log"; return 1; }
    cmake --build --preset "$preset" -j"$(nproc)"
}

# The Chinese locale Wine needs for code page 936, built into build/ (the machine has none).
varnel_locale() {
    export LOCPATH="$VARNEL_BUILD/locale"
    if [ ! -f "$LOCPATH/zh_CN.UTF-8/LC_CTYPE" ]; then
        mkdir -p "$LOCPATH"
        localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8" 2>/dev/null ||
            [ -f "$LOCPATH/zh_CN.UTF-8/LC_CTYPE" ]
    fi
    # glibc looks the codeset up in its normalised spelling too.
    [ -e "$LOCPATH/zh_CN.utf8" ] || ln -s zh_CN.UTF-8 "$LOCPATH/zh_CN.utf8"
    # The shell itself cannot load this locale (it reads LOCPATH only at start): keep it quiet.
    { export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8; } 2>/dev/null
}

# A private Wine prefix under build/ (VARNEL_WINEPREFIX names another), ready for windows
# without a window manager.
varnel_prefix() {
    varnel_locale
    export WINEPREFIX="${VARNEL_WINEPREFIX:-$VARNEL_BUILD/prefix}" WINEARCH=win64 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/.varnel-ready" ]; then
        log "preparing Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineboot -i >"$VARNEL_BUILD/wineboot.log" 2>&1
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            >>"$VARNEL_BUILD/wineboot.log" 2>&1
        wineserver -w
        touch "$WINEPREFIX/.varnel-ready"
    fi
}

# Starts Xvfb on a free display unless one is given; sets DISPLAY and VARNEL_XVFB_PID. Xvfb
# chooses the display itself (-displayfd): it skips every number whose lock file or socket another
# server holds, and writes the one it took once it accepts connections.
varnel_display() {
    VARNEL_XVFB_PID=
    if [ -n "${DISPLAY:-}" ]; then
        return 0
    fi
    local fifo_dir n=
    fifo_dir=$(mktemp -d)
    mkfifo "$fifo_dir/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo_dir/display" \
        >"$VARNEL_BUILD/xvfb.log" 2>&1 </dev/null &
    VARNEL_XVFB_PID=$!
    # Ends with the number, or empty when Xvfb exits first or takes longer than 30 s.
    read -r -t 30 n <"$fifo_dir/display" || true
    rm -rf "$fifo_dir"
    if ! [[ "$n" =~ ^[0-9]+$ ]] || ! xdpyinfo -display ":$n" >/dev/null 2>&1; then
        log "Xvfb did not come up (display '${n}'); its log, $VARNEL_BUILD/xvfb.log:"
        cat "$VARNEL_BUILD/xvfb.log" >&2
        varnel_display_stop
        VARNEL_XVFB_PID=
        return 1
    fi
    export DISPLAY=":$n"
}

varnel_display_stop() {
    if [ -n "${VARNEL_XVFB_PID:-}" ]; then
        kill "$VARNEL_XVFB_PID" 2>/dev/null || true
        wait "$VARNEL_XVFB_PID" 2>/dev/null || true
    fi
}

# Starts the stand-in version service in the background and waits until it listens.
#   varnel_service CERTS DIR NAME PORT [serve options...]
# Records requests to DIR/NAME.requests.jsonl and its output to DIR/NAME.service.log; sets
# VARNEL_SERVICE_PID.
varnel_service() {
    local certs=$1 dir=$2 name=$3 port=$4
    shift 4
    rm -f "$dir/port" "$dir/$name.requests.jsonl"
    python3 "$VARNEL_ROOT/tools/version_service.py" serve --certs "$certs" \
        --record "$dir/$name.requests.jsonl" --port "$port" --port-file "$dir/port" "$@" \
        >"$dir/$name.service.log" 2>&1 </dev/null &
    VARNEL_SERVICE_PID=$!
    local i
    for i in $(seq 1 100); do
        [ -f "$dir/port" ] && return 0
        sleep 0.05
    done
    echo "the stand-in version service did not start on port $port (see $dir/$name.service.log)" >&2
    return 1
}
