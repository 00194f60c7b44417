# Shared Wine set-up for the 64-bit twin; source it from bash:
#     source "$root/scripts/wine-env.sh"
# Provides wine_env_make_prefix, wine_env_seed, wine_env_display, wine_env_run
# and a few helpers. Nothing here changes the caller's shell options; only
# wine_env_display adds to the caller's EXIT trap.
#
# Whatever writes the registry (wine_env_import_reg, and so wine_env_seed and
# a first wine_env_make_prefix) waits for the prefix's wineserver to end, so
# nothing else may be left running in that prefix at the time.

WINE64=${WINE64:-/usr/lib/wine/wine64}
# Debian's wrapper starts wineserver64 with -p0, so the server goes away as
# soon as the prefix's last process ends and `wineserver -w` returns promptly.
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
export WINE64 WINESERVER
# The Japanese locale gives Wine its ANSI code page 932.
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all
# No Mono or Gecko install prompts: nothing here needs .NET or HTML.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

WINE_ENV_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
WINE_ENV_SEED=${WINE_ENV_SEED:-$WINE_ENV_DIR/seed.reg.txt}

# Written last, so a prefix whose creation was interrupted gets finished.
WINE_ENV_READY=.palvorine-prefix-ready

# wine_env_on_exit COMMAND: runs COMMAND when the calling shell exits, after
# whatever EXIT trap it already has.
wine_env_on_exit() {
    local old
    old=$(trap -p EXIT)
    old=${old#"trap -- '"}
    old=${old%"' EXIT"}
    old=${old//"'\''"/"'"}
    # shellcheck disable=SC2064  # expand now: the command is fixed here
    trap "${old:+$old; }$1" EXIT
}

# wine_env_abs PATH: PATH made absolute; Wine refuses a relative WINEPREFIX.
wine_env_abs() {
    realpath -m -- "$1"
}

# wine_env_winpath UNIX-PATH: the path as Windows sees it through drive Z:.
wine_env_winpath() {
    local path
    path=$(realpath -m -- "$1")
    printf 'Z:%s\n' "${path//\//\\}"
}

# wine_env_wait DIR: waits until the prefix's wineserver and all its
# processes have ended.
wine_env_wait() {
    WINEPREFIX=$(wine_env_abs "$1") "$WINESERVER" -w
}

# wine_env_kill DIR: ends every process of the prefix at once.
wine_env_kill() {
    local dir
    dir=$(wine_env_abs "$1")
    WINEPREFIX=$dir "$WINESERVER" -k 2>/dev/null || true
    WINEPREFIX=$dir "$WINESERVER" -w 2>/dev/null || true
}

# wine_env_import_reg DIR FILE: imports a UTF-8 .reg text into the prefix.
# regedit reads Unicode .reg files only as UTF-16LE with a byte order mark.
wine_env_import_reg() {
    local dir source=$2 reg rc
    dir=$(wine_env_abs "$1")
    reg=$(mktemp --tmpdir palvorine-XXXXXX.reg) || return 1
    {
        printf '\xff\xfe'
        sed 's/\r*$/\r/' "$source" | iconv -f UTF-8 -t UTF-16LE
    } >"$reg" || { rm -f "$reg"; return 1; }
    WINEPREFIX=$dir "$WINE64" regedit /S "$(wine_env_winpath "$reg")"
    rc=$?
    # regedit's writes reach the registry files when the server shuts down.
    wine_env_wait "$dir"
    rm -f "$reg"
    return "$rc"
}

# wine_env_reg_get DIR KEY VALUE: prints the REG_SZ data of VALUE under KEY
# (as `reg query` spells it, e.g. HKLM\Software\...) in UTF-8; fails when the
# value is missing.
wine_env_reg_get() {
    local dir key=$2 value=$3 out line data=''
    dir=$(wine_env_abs "$1")
    # reg.exe writes to a pipe in the OEM code page, which is 932 here.
    out=$(WINEPREFIX=$dir "$WINE64" reg query "$key" /v "$value" </dev/null 2>/dev/null |
        iconv -f CP932 -t UTF-8 | tr -d '\r') || return 1
    while IFS= read -r line; do
        # "    NAME    REG_SZ    DATA": the data keeps its own spaces.
        if [[ $line == "    $value    REG_SZ    "* ]]; then
            data=${line#"    $value    REG_SZ    "}
            printf '%s\n' "$data"
            return 0
        fi
    done <<<"$out"
    return 1
}

# The prefix settings: the Japanese font names mapped onto Debian's IPA
# fonts, keyboard focus that works without a window manager, and the colours
# of the Windows 98 standard scheme.
wine_env_prefix_reg() {
    cat <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"ＭＳ UI Gothic"="IPAPGothic"
"MS PGothic"="IPAPGothic"
"MS Gothic"="IPAGothic"
"MS UI Gothic"="IPAPGothic"
EOF
    if fc-list -q IPAPMincho 2>/dev/null; then
        cat <<'EOF'
"ＭＳ Ｐ明朝"="IPAPMincho"
"ＭＳ 明朝"="IPAMincho"
"MS PMincho"="IPAPMincho"
"MS Mincho"="IPAMincho"
EOF
    fi
    # Xvfb has no window manager to send WM_TAKE_FOCUS; without this, windows
    # never become active and Alt access keys go nowhere.
    cat <<'EOF'

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"UseTakeFocus"="N"

[HKEY_CURRENT_USER\Control Panel\Colors]
"ActiveBorder"="192 192 192"
"ActiveTitle"="0 0 128"
"AppWorkSpace"="128 128 128"
"Background"="0 128 128"
"ButtonAlternateFace"="192 192 192"
"ButtonDkShadow"="0 0 0"
"ButtonFace"="192 192 192"
"ButtonHilight"="255 255 255"
"ButtonLight"="192 192 192"
"ButtonShadow"="128 128 128"
"ButtonText"="0 0 0"
"GradientActiveTitle"="16 132 208"
"GradientInactiveTitle"="192 192 192"
"GrayText"="128 128 128"
"Hilight"="0 0 128"
"HilightText"="255 255 255"
"HotTrackingColor"="0 0 255"
"InactiveBorder"="192 192 192"
"InactiveTitle"="128 128 128"
"InactiveTitleText"="192 192 192"
"InfoText"="0 0 0"
"InfoWindow"="255 255 225"
"Menu"="192 192 192"
"MenuBar"="192 192 192"
"MenuHilight"="0 0 128"
"MenuText"="0 0 0"
"Scrollbar"="192 192 192"
"TitleText"="255 255 255"
"Window"="255 255 255"
"WindowFrame"="0 0 0"
"WindowText"="0 0 0"
EOF
}

# Debian keeps Wine's own fonts (Marlett draws the caption buttons, Tahoma
# the default GUI text) in a directory this Wine does not search; a fresh
# prefix gets links to them in its Fonts folder.
WINE_ENV_WINE_FONTS=/usr/share/wine/fonts

wine_env_link_fonts() {
    local dir=$1 font
    [[ -d $WINE_ENV_WINE_FONTS ]] || return 0
    mkdir -p "$dir/drive_c/windows/Fonts" || return 1
    for font in "$WINE_ENV_WINE_FONTS"/*; do
        [[ -e $dir/drive_c/windows/Fonts/${font##*/} ]] ||
            ln -s "$font" "$dir/drive_c/windows/Fonts/" || return 1
    done
}

# What the marker file holds; a prefix made by an older wine-env.sh gets the
# later settings added.
WINE_ENV_PREFIX_VERSION=palvorine-prefix-2

wine_env_prefix_ready() {
    [[ -f $1/$WINE_ENV_READY && $(<"$1/$WINE_ENV_READY") == "$WINE_ENV_PREFIX_VERSION" ]]
}

# wine_env_make_prefix DIR: creates the 64-bit prefix DIR with the settings
# above, unless it is already complete. Callers working on the same DIR at
# once take turns; different prefixes do not interfere.
wine_env_make_prefix() {
    local dir=$1 settings status=0
    [[ -n $dir ]] || { echo "wine_env_make_prefix: no directory given" >&2; return 2; }
    dir=$(wine_env_abs "$dir")
    wine_env_prefix_ready "$dir" && return 0
    mkdir -p "$dir" || return 1
    (
        flock 9 || exit 1
        wine_env_prefix_ready "$dir" && exit 0
        if [[ ! -f $dir/$WINE_ENV_READY ]]; then
            echo "wine-env: creating the Wine prefix $dir" >&2
            # No window may show while the prefix is built, whatever DISPLAY says.
            WINEPREFIX=$dir DISPLAY='' "$WINE64" wineboot -i >/dev/null 2>&1
            wine_env_wait "$dir"
            [[ -f $dir/system.reg && -d $dir/drive_c/windows ]] ||
                { echo "wine-env: wineboot did not create $dir" >&2; exit 1; }
        fi
        wine_env_link_fonts "$dir" || { echo "wine-env: could not link Wine's fonts into $dir" >&2; exit 1; }
        settings=$(mktemp --tmpdir palvorine-prefix-XXXXXX.txt) || exit 1
        wine_env_prefix_reg >"$settings"
        wine_env_import_reg "$dir" "$settings"
        status=$?
        rm -f "$settings"
        ((status == 0)) || { echo "wine-env: could not import the prefix settings" >&2; exit 1; }
        printf '%s' "$WINE_ENV_PREFIX_VERSION" >"$dir/$WINE_ENV_READY"
    ) 9>"$dir/.palvorine-prefix-lock"
}

# wine_env_seed DIR: writes the registration data of scripts/seed.reg.txt
# into the prefix and checks that every value reads back unchanged.
wine_env_seed() {
    local dir line key='' name data got bad=0
    dir=$(wine_env_abs "$1")
    wine_env_prefix_ready "$dir" || { echo "wine_env_seed: $dir is not a prepared prefix" >&2; return 2; }
    wine_env_import_reg "$dir" "$WINE_ENV_SEED" ||
        { echo "wine-env: regedit could not import $WINE_ENV_SEED" >&2; return 1; }
    while IFS= read -r line; do
        line=${line%$'\r'}
        if [[ $line =~ ^\[HKEY_LOCAL_MACHINE\\(.*)\]$ ]]; then
            key="HKLM\\${BASH_REMATCH[1]}"
        elif [[ $line =~ ^\"([^\"]*)\"=\"([^\"]*)\"$ ]]; then
            name=${BASH_REMATCH[1]} data=${BASH_REMATCH[2]}
            got=$(wine_env_reg_get "$dir" "$key" "$name") || got="(missing)"
            if [[ $got != "$data" ]]; then
                echo "wine-env: $key\\$name reads back as \"$got\", expected \"$data\"" >&2
                bad=1
            fi
        fi
    done <"$WINE_ENV_SEED"
    wine_env_wait "$dir"
    return "$bad"
}

# wine_env_display_reachable: whether an X server answers on $DISPLAY.
wine_env_display_reachable() {
    [[ -n ${DISPLAY:-} ]] && timeout 5 xdpyinfo >/dev/null 2>&1
}

# wine_env_display: keeps a working DISPLAY; otherwise starts Xvfb on a free
# display number, exports DISPLAY, and stops that Xvfb when the calling shell
# exits. Sets WINE_ENV_XVFB_PID to the Xvfb it started, if any.
wine_env_display() {
    local fifo number=
    wine_env_display_reachable && return 0
    fifo=$(mktemp -u --tmpdir palvorine-xvfb-XXXXXX) || return 1
    mkfifo "$fifo" || return 1
    # Xvfb picks the free number itself and reports it on the descriptor, so
    # parallel callers never race for the same display.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    WINE_ENV_XVFB_PID=$!
    read -r -t 20 number <"$fifo"
    rm -f "$fifo"
    if [[ -z $number ]]; then
        kill "$WINE_ENV_XVFB_PID" 2>/dev/null
        echo "wine-env: Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=:$number
    wine_env_on_exit "kill $WINE_ENV_XVFB_PID 2>/dev/null"
}

# wine_env_run DIR EXE [ARGS...]: runs EXE in the prefix under wine64 and
# returns its exit code.
wine_env_run() {
    local dir
    dir=$(wine_env_abs "$1")
    shift
    WINEPREFIX=$dir "$WINE64" "$@"
}
