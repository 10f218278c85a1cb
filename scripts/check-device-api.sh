#!/usr/bin/env bash
# The device-API gate: every external function that the program's object files
# use, outside the desktop's own files (platform/desktop/, which the device's
# build replaces with platform/device/, and the desktop's field adjustments),
# must be on platform/device_api.txt.
# Usage: scripts/check-device-api.sh [build-dir]   (a windows or device-check build)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/windows}"
nm=llvm-nm

folders=()
for folder in selvane_app.dir selvane_core.dir selvane-monitor.dir; do
  [ -d "$build/CMakeFiles/$folder" ] && folders+=("$build/CMakeFiles/$folder")
done
[ ${#folders[@]} -gt 0 ] || { echo "no object files under $build" >&2; exit 1; }
mapfile -t objects < <(find "${folders[@]}" -name '*.obj' | sort)
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
    # The compilers' own helpers: C++ support, stack probes, and the ARM
    # run-time's 64-bit division and conversions.
    case "$name" in _Z* | __cxa_* | __gxx_* | .refptr.* | __chkstk* | ___chkstk* | __stack_chk_* | __rt_*div* | __u64to* | __i64to* ) continue ;; esac
    if ! grep -qxF "$name" <<<"$allowed"; then
      echo "${object#"$build"/CMakeFiles/}: $name is not on the device's API (platform/device_api.txt)"
      status=1
    fi
  done < <("$nm" -u "$object" | awk '{print $2}')
done
# The device's C run-time may lack the 64-bit and size formats: none in the
# program's format strings (64-bit figures go through FormatUnsigned64).
formats=$(grep -rnE '"[^"]*%[-+ #0-9.*]*(ll|z|j|I64|L)[a-zA-Z]' "$root/app" "$root/platform" "$root/sampler" "$root/ui" \
  --include='*.cpp' --include='*.h' || true)
if [ -n "$formats" ]; then
  echo "formats the device's C run-time may lack:"
  echo "$formats"
  status=1
fi
[ "$status" -eq 0 ] && echo "device API gate: $checked object files, every external call is on the list, no 64-bit format"
exit "$status"
