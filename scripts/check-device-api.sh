#!/usr/bin/env bash
# The device-API gate.
# - Every external function that the program's object files use, outside the
#   desktop's own files (platform/desktop/, which the device's build replaces
#   with platform/device/, and the desktop's field adjustments), must be on
#   platform/device_api.txt, and not as a name bound at run time.
# - The names the sources pass to GetProcAddressW are exactly the list's
#   by-name names.
# - A C run-time function is listed as the C run-time's (crt), not as a
#   library's on the device: Compact 7 links it in from corelibc.lib, and
#   Compact 2013 imports it from msvcrt.dll, which needs the image's
#   "C Runtime Library" catalog item (SYSGEN_MSVCR).
# - The program's sources use what the device's compilers and C run-time
#   have: no 64-bit or size printf format, no ISO swprintf or vswprintf (the
#   device's take no count), no std::isnan, no C++11 keyword or header.
# Usage: scripts/check-device-api.sh [build-dir]   (a windows or device-check build)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/windows}"
nm=llvm-nm
list="$root/platform/device_api.txt"
sources=("$root/app" "$root/platform" "$root/remote" "$root/sampler" "$root/ui")
status=0

entries=$(grep -vE '^\s*(#|$)' "$list")
bad=$(awk 'NF < 2 || NF > 3 || $2 !~ /^(coredll|commctrl|toolhelp|ws2|libnvrm|crt)$/ || (NF == 3 && $3 != "by-name")' <<<"$entries")
if [ -n "$bad" ]; then
  echo "platform/device_api.txt: lines that are not 'NAME LIBRARY [by-name]' with a device library:"
  echo "$bad"
  status=1
fi
imported=$(awk 'NF == 2 {print $1}' <<<"$entries" | sort -u)

# The C run-time's names, from mingw-w64's import library of msvcrt.dll.
crtNames=$("$nm" --defined-only /usr/x86_64-w64-mingw32/lib/libmsvcrt.a 2>/dev/null | awk 'NF == 3 && $3 !~ /^__imp_/ {print $3}' | sort -u)
[ -n "$crtNames" ] || { echo "no C run-time names from mingw-w64's libmsvcrt.a" >&2; exit 1; }
misplaced=$(awk '$2 != "crt" {print $1 " " $2}' <<<"$entries" | while read -r name library; do
  if grep -qxF "$name" <<<"$crtNames"; then echo "$name $library"; fi
done)
if [ -n "$misplaced" ]; then
  echo "C run-time functions listed under a device library, not as crt (corelibc.lib on Compact 7, msvcrt.dll on Compact 2013):"
  echo "$misplaced"
  status=1
fi
crtCount=$(awk '$2 == "crt"' <<<"$entries" | wc -l)
byName=$(awk '$3 == "by-name" {print $1}' <<<"$entries" | sort -u)

folders=()
for folder in selvane_app.dir selvane_core.dir selvane-monitor.dir; do
  [ -d "$build/CMakeFiles/$folder" ] && folders+=("$build/CMakeFiles/$folder")
done
[ ${#folders[@]} -gt 0 ] || { echo "no object files under $build" >&2; exit 1; }
mapfile -t objects < <(find "${folders[@]}" -name '*.obj' | sort)
[ ${#objects[@]} -gt 0 ] || { echo "no object files under $build" >&2; exit 1; }

# Symbols the program defines itself (the desktop's files included).
own=$("$nm" --defined-only "${objects[@]}" 2>/dev/null | awk 'NF == 3 {print $3}' | sort -u)

checked=0
for object in "${objects[@]}"; do
  case "$object" in */platform/desktop/*.obj | */ui/performance/desktop_fields.cpp.obj) continue ;; esac
  checked=$((checked + 1))
  # C-linkage externals only: C++ names (_Z...) are the program's own or the C++ library's.
  while read -r symbol; do
    name=${symbol#__imp_}
    grep -qxF "$name" <<<"$own" && continue
    # The compilers' own helpers: C++ support (MSVC's names begin with '?'),
    # stack probes and buffer-overrun checks, the ARM run-time's 64-bit
    # division and conversions; and how the desktop's headers spell the
    # standard streams (the SDK's spell them as a call of their own).
    case "$name" in _Z* | \?* | __cxa_* | __gxx_* | .refptr.* | __chkstk* | ___chkstk* | __stack_chk_* | __security_check_cookie | __security_cookie | __rt_*div* | __u64to* | __i64to* | __acrt_iob_func | __iob_func) continue ;; esac
    if grep -qxF "$name" <<<"$byName"; then
      echo "${object#"$build"/CMakeFiles/}: $name is imported, but the device may lack it: bind it by name"
      status=1
    elif ! grep -qxF "$name" <<<"$imported"; then
      echo "${object#"$build"/CMakeFiles/}: $name is not on the device's API (platform/device_api.txt)"
      status=1
    fi
  done < <("$nm" -u "$object" | awk '{print $2}')
done

# The entry points the sources bind by name: the wide names given to the
# binding helpers, and the names given to BIND_ENTRY.
bound=$(grep -rhE '(Bind\(|BIND_ENTRY\()' "${sources[@]}" --include='*.cpp' | grep -v '#define' | grep -oE '(Bind\([^,]+, L"[A-Za-z_][A-Za-z0-9_]*"|BIND_ENTRY\([^,]+, [A-Za-z_][A-Za-z0-9_]*\))' | sed -E 's/.*(L"|, )([A-Za-z_][A-Za-z0-9_]*)"?\)?$/\2/' | sort -u)
if [ "$bound" != "$byName" ]; then
  echo "names bound by GetProcAddressW and the list's by-name names differ (< sources, > list):"
  diff <(echo "$bound") <(echo "$byName") | grep -E '^[<>]' || true
  status=1
fi

# What the device's compilers and run-time lack, in the program's sources
# (comments left out). The one wide formatter and the desktop's shared word
# are where the platforms' forms are chosen.
code=$(grep -rnE '' "${sources[@]}" --include='*.cpp' --include='*.h' | sed -E 's#^([^:]+:[0-9]+:)(.*)$#\1 \2#; s#//.*$##')
lacking() {
  local what=$1 pattern=$2 exempt=$3 found
  found=$(grep -E "$pattern" <<<"$code" | grep -vE "^$root/($exempt):" || true)
  if [ -n "$found" ]; then
    echo "$what:"
    echo "$found"
    status=1
  fi
}
lacking "formats the device's C run-time may lack (64-bit figures go through FormatUnsigned64)" \
  '"[^"]*%[-+ #0-9.*]*(ll|z|j|I64|L)[a-zA-Z]' '^$'
lacking "ISO wide printers, which take a count the device's lack (use FormatWide)" \
  '(^|[^A-Za-z0-9_])v?swprintf[[:space:]]*\(' 'app/text_format.cpp'
lacking "std::isnan, which the device's compilers lack" 'std::isnan' '^$'
lacking "C++11 in the program, which the Compact 7 compiler rejects" \
  '(^|[^A-Za-z0-9_])(constexpr|nullptr|static_assert|decltype|noexcept|alignas|alignof|thread_local|char16_t|char32_t)([^A-Za-z0-9_]|$)|(^|[^A-Za-z0-9_])auto[[:space:]]+[A-Za-z_&*]|\[[&=][^]]*\][[:space:]]*[({]' '^$'
lacking "C++11 library headers in the program" \
  '#include[[:space:]]*<(atomic|thread|mutex|chrono|array|cstdint|cinttypes|type_traits|unordered_map|unordered_set|tuple|random|regex|initializer_list|condition_variable|future|ratio|system_error|forward_list|cuchar)>' \
  'platform/desktop/shared_word.h'

[ "$status" -eq 0 ] && echo "device API gate: $checked object files, every external call on the list, $(wc -l <<<"$byName") names bound by name, $crtCount from the C run-time (Compact 7: corelibc.lib, linked in; Compact 2013: msvcrt.dll, catalog item SYSGEN_MSVCR), the sources in the device's language and run-time"
exit "$status"
