# Sourced by the run and test commands: one Wine prefix per display mode,
# made once inside the build tree, and a persistent wineserver.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEDEBUG=-all
# No .NET or HTML engine; and no automatic debugger: a crashing program
# would otherwise wait in it forever instead of ending (and failing its test).
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

# Makes (once) and selects the prefix for mode "null" (headless) or "x11";
# "null32" is a headless prefix made with Wine's 32-bit half, for 32-bit programs.
# SELVANE_PREFIX_TAG, when set, names a separate set of prefixes (a test
# suite run beside another has its own).
wine_prefix() {
  local mode=$1
  export WINEPREFIX="$root/build/wineprefix-$mode${SELVANE_PREFIX_TAG:-}"
  if [ ! -f "$WINEPREFIX/.selvane-ready" ]; then
    rm -rf "$WINEPREFIX"
    echo "Making the Wine prefix $WINEPREFIX ..."
    DISPLAY= wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    # Controller polling costs ~20 ms of CPU a second and would swamp the monitor's own cost.
    wine reg add 'HKLM\System\CurrentControlSet\Services\WineBus' /v 'Enable SDL' /t REG_DWORD /d 0 /f >/dev/null 2>&1
    if [ "${mode%32}" = null ]; then
      wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    else
      # Without a window manager, managed windows stall ~2 s on destroy and lose their caption.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    fi
    wineserver -w
    touch "$WINEPREFIX/.selvane-ready"
  fi
  # Debian's Wine finds none of its own fonts in a new prefix (the caption's
  # close button then shows as the letter "r"): they go into its Fonts folder.
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
}

# A persistent server: without it every Wine start costs ~3 s.
wine_server_start() {
  wineserver -p
  wine wineboot >/dev/null 2>&1 || true
}

wine_server_stop() {
  wineserver -k 2>/dev/null || true
}
