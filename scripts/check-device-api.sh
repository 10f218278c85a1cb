#!/usr/bin/env bash
# The device-API gate: every external function that the program's object files
# use, outside the desktop's own files (platform/desktop/, which the device's
# build replaces with platform/device/, and the desktop's field adjustments),
# must be on platform/device_api.txt.
# Usage: scripts/check-device-api.sh [build-dir]   (a windows-preset build)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/windows}"
nm=x86_64-w64-mingw32-nm

mapfile -t objects < <(find "$build/CMakeFiles/selvane_app.dir" "$build/CMakeFiles/selvane_core.dir" \
  "$build/CMakeFiles/selvane-monitor.dir" -name '*.obj' | sort)
[ ${#objects[@]} -gt 0 ] || { echo "no object files under $build" >&2; exit 1; }

allowed=$(grep -vE '^\s*(#|$)' "$root/platform/device_api.txt" | sort -u)
# Symbols the program defines itself (the desktop's files included).
own=$("$nm" --defined-only "${objects[@]}" 2>/dev/null | awk 'NF == 3 {print $3}' | sort -u)

status=0
checked=0
for object in "${objects[@]}"; do
  case "$object" in */platform/desktop/*.obj | */ui/performance/desktop_fields.cpp.obj) continue ;; esac
  checked=$((checked + 1))
  # C-linkage externals only: C++ names (_Z...) are the program's own or the C++ library's.
  while read -r symbol; do
    name=${symbol#__imp_}
    grep -qxF "$name" <<<"$own" && continue
    case "$name" in _Z* | __cxa_* | __gxx_* | .refptr.* | __chkstk* | ___chkstk* | __stack_chk_* ) continue ;; esac
    if ! grep -qxF "$name" <<<"$allowed"; then
      echo "${object#"$build"/CMakeFiles/}: $name is not on the device's API (platform/device_api.txt)"
      status=1
    fi
  done < <("$nm" -u "$object" | awk '{print $2}')
done
[ "$status" -eq 0 ] && echo "device API gate: $checked object files, every external call is on the list"
exit "$status"
