#!/usr/bin/env bash
# The test command: builds both presets and runs every test, natively (pure
# core under ASan and UBSan) and under Wine (the Win32 program, headless).
# Prints one summary line and exits non-zero on any failure.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
start=$(date +%s)

# Each stage's seconds, printed when the next begins and at the end.
stage_name=""
stage_start=$(date +%s)
stage() {
  [ -z "$stage_name" ] || echo "-- $stage_name: $(( $(date +%s) - stage_start )) s"
  stage_name=$1
  stage_start=$(date +%s)
  [ -z "$stage_name" ] || echo "== $stage_name"
}

stage "packages"
bash scripts/deps.sh || exit 1

passed=0
failed=0
skipped=0
failures=()

# Adds a ctest run's counts to the totals.
count_ctest() {
  local log=$1 name=$2 line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    failures+=("$name: no test ran")
    return
  fi
  bad=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* tests failed out of ([0-9]+).*/\1/' <<<"$line")
  # ctest counts a skipped test as passed: here it counts as skipped.
  local skips
  skips=$(grep -c '\*\*\*Skipped' "$log")
  skipped=$((skipped + skips))
  passed=$((passed + total - bad - skips))
  failed=$((failed + bad))
  [ "$bad" -eq 0 ] || failures+=("$name: $bad failed")
}

# A step that is not a ctest run counts as one check.
check() {
  local name=$1
  shift
  echo "== $name"
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failures+=("$name")
  fi
}

logs="$root/build/logs"
mkdir -p "$logs"

# Configures and builds a preset (or the given targets of it), quietly; shows
# the log when it fails.
build() {
  local preset=$1 log="$logs/$1-build.log"
  shift
  if cmake --preset "$preset" >"$log" 2>&1 && cmake --build --preset "$preset" "$@" >>"$log" 2>&1; then
    return 0
  fi
  grep -E 'error|warning|FAILED' "$log" | head -n 40
  failed=$((failed + 1))
  failures+=("$preset build")
  return 1
}

# Runs a test preset into its log.
ctest_into_log() {
  ctest --preset "$1" >"$logs/$1-test.log" 2>&1
}

# Shows a test preset's log's outcome and adds its counts.
report_ctest() {
  local preset=$1 log="$logs/$1-test.log"
  echo "-- $preset:"
  grep -E '\*\*\*|tests passed' "$log"
  # A failed test's own output (the presets keep it on failure), so a run
  # elsewhere says why without its log.
  awk '/\*\*\*(Failed|Timeout|Exception)/ { show = 1; shown = 0; print "-- output of " $0; next }
       /^ *Start +[0-9]+:|^[0-9]+% tests passed/ { show = 0 }
       show && shown < 60 { print "   " $0; shown++ }' "$log"
  count_ctest "$log" "$preset"
}

run_ctest() {
  ctest_into_log "$1"
  report_ctest "$1"
}

# Runs a Wine test preset in a Wine prefix of its own (its own server, its own
# virtual display for the real-input test), in the background: the two suites
# run side by side and beside the later stages, since most of their time is
# spent waiting on the clock. Their seconds go into $logs/PRESET-lane.seconds.
wine_lane() {
  local preset=$1 mode=$2 tag=$3 display=$4
  rm -f "$logs/$preset-lane.seconds"
  (
    lane_start=$(date +%s)
    export SELVANE_PREFIX_TAG=$tag SELVANE_DISPLAY_FROM=$display
    source scripts/wine-env.sh
    wine_prefix "$mode"
    wine_server_start
    ctest_into_log "$preset"
    wine_server_stop
    echo $(( $(date +%s) - lane_start )) >"$logs/$preset-lane.seconds"
  ) &
}

stage "native: pure core (ASan, UBSan)"
if build native; then
  run_ctest native
fi

# The process table shared by the two threads, under ThreadSanitizer.
stage "tsan: process table stress (ThreadSanitizer)"
if build tsan; then
  check "process table stress" build/tsan/tests/tsan/table_stress
fi

# The desktop's build and the device's branch built for the desktop, linked
# against the stand-ins of the device's libraries (coredll.dll, toolhelp.dll);
# their Wine suites side by side, and beside the stages after them: start-up,
# both pages, the lists, every command, the fault matrix, the long run, and
# what a cycle costs the device's platform. Each suite starts as soon as its
# build is done; the results are read at the end.
# The device is 32-bit, and there its window data goes through SetWindowLongW
# with GWL_USERDATA and GWL_WNDPROC, which only the 32-bit build takes. Where
# this machine runs 32-bit programs (scripts/can-run-32bit.sh; deps.sh then
# installs Wine's 32-bit half) the suite runs on the 32-bit build in place of
# the 64-bit one; elsewhere the 32-bit program and its stand-ins are built
# (its Wine tests too would cost CI a minute and a half), and the 64-bit one runs.
stage "windows and the device's branch: builds, then their Wine suites in the background"
# The device's suite is the longer one (its trigger's capture alone runs two
# minutes), so it is built and started first.
lanes=()
if run32=$(bash scripts/can-run-32bit.sh) && [ -x /usr/lib/wine/wine ]; then
  device=windows-device-x86 device_mode=null32 device_tag=""
else
  device=windows-device device_mode=null device_tag=-device
fi
if build "$device"; then
  wine_lane "$device" "$device_mode" "$device_tag" 140
  lanes+=("$device")
fi
if build windows; then
  wine_lane windows null "" 99
  lanes+=(windows)
fi
if [ "$device" = windows-device ] && build windows-device-x86 --target selvane-monitor coredll toolhelp libnvrm; then
  passed=$((passed + 1))
  echo "windows-device-x86 built; its Wine suite is skipped: ${run32:-no 32-bit Wine (wine32:i386)}"
  skipped=$((skipped + 1))
fi
if [ -f build/windows/bin/selvane-monitor.exe ]; then
  check "device API gate" bash scripts/check-device-api.sh build/windows
fi
if [ "$device" = windows-device ] && [ -f build/windows-device/bin/selvane-monitor.exe ]; then
  # The device's run-time has no mingw-w64 printf: the branch must not pull it in.
  check "the device's branch holds no mingw-w64 printf" bash -c '
    ! x86_64-w64-mingw32-nm build/windows-device/bin/selvane-monitor.exe | grep -E " __mingw_(v?[fs]?n?w?printf|pformat)"'
fi

# The device's own build, as each SDK's compiler sees it: every program
# source compiled at C++03 for 32-bit ARM with the device's branch selected,
# to objects (nothing links: no ARM run-time here), against the stand-ins of
# the SDK's headers in platform/device/sdk/ rather than the device's SDK.
for version in "device-check:Compact 2013 (_WIN32_WCE=0x0800)" "device-check-7:Compact 7 (_WIN32_WCE=0x0700)"; do
  preset=${version%%:*}
  stage "$preset: the program compiled for the device, ${version#*:}, C++03, ARMv7 Thumb-2, objects only"
  if build "$preset"; then
    check "$preset objects are 32-bit ARM" bash -c '
      objects=$(find "build/$1" -name "*.obj")
      [ -n "$objects" ] || exit 1
      for object in $objects; do llvm-objdump -f "$object" | grep -q "file format coff-arm" || { echo "not ARM: $object"; exit 1; }; done
      echo "$(wc -w <<<"$objects") objects, all coff-arm; not linked: no ARM run-time is installable here"' _ "$preset"
    check "device API gate ($preset objects)" bash scripts/check-device-api.sh "build/$preset"
    if [ "$preset" = device-check ]; then
      # Compact 2013 has no standard output: the program calls none there.
      check "no standard output on Compact 2013" bash -c '
        ! find build/device-check -name "*.obj" -exec llvm-nm -u {} + |
          grep -E "\b(v?printf|puts|putchar|fputs|fwrite|fflush|_?fileno|__iob_func|__acrt_iob_func|_getstdfilex)\b"'
    fi
  fi
done

# The device's own build, configured as with each SDK: the version's
# toolchain file (cmake/wince-2013.cmake, cmake/wince-7.cmake) and an
# MSVC-style compiler, Debian's clang-cl, over the headers here. Without the
# SDK's libraries nothing links; every program source and the resources are
# compiled, the configure is checked (Microsoft's switches, the device's
# definitions, the C run-time's home, the program alone) and the objects go
# through the device-API gate.
for version in 2013 7; do
  preset=wince-$version-check
  stage "$preset: the device's build configured for Compact $version with clang-cl, compiled, not linked"
  log="$logs/$preset-configure.log"
  if rm -rf "build/$preset" && cmake --preset "$preset" >"$log" 2>&1; then
    check "device configure (Compact $version)" bash scripts/check-device-configure.sh "build/$preset" "$version"
    check "device API gate ($preset objects)" bash scripts/check-device-api.sh "build/$preset"
  else
    grep -E 'Error|error' "$log" | head -n 20
    failed=$((failed + 1))
    failures+=("$preset configure")
  fi
done

# The device is 32-bit: the program's i686 build must stay warning-free. Its
# programs cannot run here (no 32-bit emulation in this kernel), so the
# program and its stand-ins are built only.
stage "windows-x86: 32-bit build of the program and the stand-ins"
if build windows-x86 --target selvane-monitor coredll libnvrm toolhelp; then
  passed=$((passed + 1))
  echo "built"
fi

stage "scripts, static analysis, fuzzers"
# The benchmarks themselves run once, briefly, as the BenchSmoke tests above;
# their scripts take minutes, so here they are only parsed.
check "benchmark scripts parse" bash -c 'for script in bench/*.sh; do bash -n "$script" || exit 1; done'
check "static analysis (cppcheck)" bash scripts/static-analysis.sh
check "fuzzers (10 s each from their corpora; scripts/fuzz.sh runs longer)" bash scripts/fuzz.sh 10

stage "windows and $device: the Wine suites' results"
wait
for preset in "${lanes[@]+"${lanes[@]}"}"; do
  report_ctest "$preset"
  echo "   ($(cat "$logs/$preset-lane.seconds" 2>/dev/null || echo "?") s, from its build's end)"
done
stage ""

echo
echo "== summary ($(( $(date +%s) - start )) s)"
for failure in "${failures[@]+"${failures[@]}"}"; do echo "FAILED: $failure"; done
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
