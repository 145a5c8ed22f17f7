# Sourced by the test and demo scripts: gives Wine a display and a 32-bit prefix of its own,
# with the stand-in host registered, and ends both when the calling script exits.
#   WINE_SESSION_PREFIX  the prefix to use (made when missing)
#   WINE_SESSION_HOST    the stand-in host DLL to register

export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="$WINE_SESSION_PREFIX"

# Without an X display Wine cannot create windows. Xvfb picks a free display number itself.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$display_file")"
rm -f "$display_file"

end_wine_session() {
  wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap end_wine_session EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX (about 10 s)"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  # No window manager runs on Xvfb: unmanaged windows vanish promptly when they close.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
fi
wine regsvr32 /s "$WINE_SESSION_HOST"
