# Wine for the Windows tests; sourced. wine_begin <folder> makes a fresh
# Windows (a WINEPREFIX) there and waits until it is ready; wine_end ends its
# wineserver. The Windows programs find the Qt and mingw-w64 libraries of the
# toolchain through WINEPATH when `qt` names the toolchain's folder.

wine_begin() {
    export WINEPREFIX="$1/wine"
    export WINEDEBUG=-all
    # No Mono or Gecko installers asked for: nothing here needs them.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    # Code page 936: Wine takes the ANSI code page from the locale.
    export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
    if [ -n "${qt:-}" ]; then
        local gcc_dir
        gcc_dir="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")"
        export WINEPATH="$qt/bin;$gcc_dir;/usr/x86_64-w64-mingw32/lib"
    fi
    mkdir -p "$WINEPREFIX"
    timeout 180 wineboot -i >"$1/wineboot.log" 2>&1 || { cat "$1/wineboot.log" >&2; return 1; }
    timeout 180 wineserver -w
}

wine_end() {
    [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] && timeout 30 wineserver -k 2>/dev/null
    return 0
}
