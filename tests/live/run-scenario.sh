#!/usr/bin/env bash
# Runs one live scenario of the driver against palvorine.exe under wine64,
# inside a Wine virtual desktop on an Xvfb display.
#
#   run-scenario.sh --prepare PREFIX
#       creates the Wine prefix (once) and sets it to run every program in
#       an 800x600 virtual desktop;
#   run-scenario.sh SCENARIO DRIVER.EXE PALVORINE.EXE PREFIX [SHOT-DIR]
#       runs the scenario; with SHOT-DIR, the driver's screenshot requests
#       are answered with PNGs of the X screen written there.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=../../scripts/wine-env.sh
source "$root/scripts/wine-env.sh"

# The virtual desktop draws captions and menus itself and spares the X11
# driver's waits for a window manager that Xvfb does not have.
desktop_reg() {
    cat <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="800x600"
REG
}

prepare() {
    local prefix=$1 reg
    wine_env_make_prefix "$prefix" || return 1
    [[ -f $prefix/.live-desktop ]] && return 0
    reg=$(mktemp --tmpdir palvorine-desktop-XXXXXX.reg) || return 1
    desktop_reg >"$reg"
    wine_env_import_reg "$prefix" "$reg" || { rm -f "$reg"; echo "cannot set the virtual desktop" >&2; return 1; }
    rm -f "$reg"
    : >"$prefix/.live-desktop"
}

if [[ ${1:-} == --prepare ]]; then
    prepare "$2"
    exit
fi

if (($# < 4)); then
    echo "usage: $0 SCENARIO DRIVER.EXE PALVORINE.EXE PREFIX [SHOT-DIR]" >&2
    exit 2
fi
scenario=$1 driver=$2 program=$3 prefix=$4 shots=${5:-}

prepare "$prefix" || exit 1
wine_env_display || exit 1

args=("$scenario" "$(wine_env_winpath "$program")")
if [[ -n $shots ]]; then
    mkdir -p "$shots" || exit 1
    rm -f "$shots"/*.request
    args+=("$(wine_env_winpath "$shots")")
fi

WINEPREFIX=$(wine_env_abs "$prefix")
export WINEPREFIX
# A scenario that hangs is ended here rather than by CTest, so that no Wine
# process outlives it.
timeout --kill-after=5 100 "$WINE64" "$driver" "${args[@]}" </dev/null &
driver_pid=$!

# Answer screenshot requests until the driver ends.
while kill -0 "$driver_pid" 2>/dev/null; do
    if [[ -n $shots ]]; then
        for request in "$shots"/*.request; do
            [[ -e $request ]] || continue
            name=$(basename "$request" .request)
            if ! xwd -root -silent -display "$DISPLAY" | convert xwd:- -crop 800x600+0+0 +repage "$shots/$name.png"; then
                echo "screenshot $name failed" >&2
            fi
            rm -f "$request"
        done
    fi
    sleep 0.1
done
wait "$driver_pid"
status=$?
if [[ -n $shots ]]; then
    for bitmap in "$shots"/*.bmp; do
        [[ -e $bitmap ]] || continue
        convert "$bitmap" "${bitmap%.bmp}.png" && rm -f "$bitmap"
    done
fi
if ((status == 124 || status == 137)); then
    echo "FAIL $scenario: the driver did not finish within 100 s" >&2
fi
# The driver has ended every program it started; what is left are Wine's own
# services and the desktop, which would linger for seconds. Nothing of the
# registry needs keeping: every scenario seeds what it reads.
wine_env_kill "$prefix"
exit "$status"
