# A Wine prefix with an X display of its own, as the harness's Windows programs run in it: the
# test run (tests/wine/setup and run), the demo (script/demo) and the benchmark (script/bench).
# Sourced, not run.
#
# Sourcing it exports what every Wine run of the harness has (no debug output; no Mono or Gecko
# installer asked for while a prefix is made) and sets halvern_wine, the loader: HALVERN_WINE
# when set (a 64-bit test build, made where 32-bit programs cannot run, sets Wine's 64-bit
# loader there, because `wine` would pick the 32-bit one), else `wine`.

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
halvern_wine=${HALVERN_WINE:-wine}

# halvern_wine_path PATH: the absolute Unix PATH as a Windows program sees it, through Z:.
halvern_wine_path() {
  printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"
}

# halvern_start_display FIRST LAST: starts Xvfb on the first free display number from FIRST to
# LAST and waits until it takes connections; sets halvern_display (":N") and halvern_xvfb_pid.
# Xvfb leaves the shell's session, so that a test fixture may end while its display lives on.
# Fails, with one line naming the range, when no display there could be started.
halvern_start_display() {
  local n i owner
  for n in $(seq "$1" "$2"); do
    if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; then continue; fi
    setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    halvern_xvfb_pid=$!
    for i in $(seq 50); do
      # Another run may have taken the same number a moment earlier: the lock names the winner.
      owner=
      read -r owner 2>/dev/null <"/tmp/.X$n-lock" || true
      if [ -e "/tmp/.X11-unix/X$n" ] && [ "$owner" = "$halvern_xvfb_pid" ]; then
        halvern_display=":$n"
        return 0
      fi
      kill -0 "$halvern_xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$halvern_xvfb_pid" 2>/dev/null || true
  done
  halvern_xvfb_pid=
  echo "no free X display between :$1 and :$2 (each has a lock or a socket in /tmp, or Xvfb did not start)" >&2
  return 1
}

# halvern_make_prefix DIR ARCH: makes a Wine prefix of kind ARCH (win32 or win64) in DIR through
# the loader. Fails with one line when the loader cannot.
halvern_make_prefix() {
  if ! WINEPREFIX="$1" WINEARCH="$2" "$halvern_wine" wineboot -i >/dev/null 2>&1; then
    echo "cannot make a $2 Wine prefix in $1: \"$halvern_wine wineboot\" failed" >&2
    echo "(where 32-bit programs cannot run, only a win64 prefix can be made: HALVERN_WINE=/usr/lib/wine/wine64)" >&2
    return 1
  fi
}

# halvern_unmanaged_windows DIR: Wine in prefix DIR no longer hands its windows to a window
# manager. A private display has none, and Wine waits up to 2 s for one each time a visible
# window is destroyed; unmanaged windows go at once, as on a desktop.
halvern_unmanaged_windows() {
  WINEPREFIX="$1" "$halvern_wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}

# halvern_export_run_env BIN_DIR ARCH: exports what a harness program reads (harness/test_env.h):
# the build's bin folder BIN_DIR (a Unix path) as Wine sees it, and the prefix kind ARCH.
halvern_export_run_env() {
  HALVERN_BIN_DIR=$(halvern_wine_path "$1")
  HALVERN_PREFIX=$2
  export HALVERN_BIN_DIR HALVERN_PREFIX
}

# halvern_stop DIR: ends the wineserver of prefix DIR and the display halvern_start_display
# started in this shell.
halvern_stop() {
  WINEPREFIX="$1" wineserver -k >/dev/null 2>&1 || true
  if [ -n "${halvern_xvfb_pid:-}" ]; then kill "$halvern_xvfb_pid" 2>/dev/null || true; fi
}
