#!/usr/bin/env bash
# Checks a configure of the device's own build (cmake/wince-7.cmake or
# cmake/wince-2013.cmake with an MSVC-style compiler, the wince-*-check
# presets):
# - every compile command is the program's, with Microsoft's switches
#   (/W4 /WX, no exceptions), the device's definitions (_WIN32_WCE of the
#   version, UNDER_CE, SELVANE_DEVICE), and no GCC switch or desktop
#   _WIN32_WINNT;
# - the C run-time comes from where the version keeps it: Compact 7 links
#   corelibc.lib into the program, Compact 2013 imports msvcrt.dll (/MD);
# - the build holds the program alone (no test, stand-in, tool or benchmark)
#   and installs the program and its text, nothing of the stand-ins;
# - every program source compiles and the objects are 32-bit ARM.
# Usage: scripts/check-device-configure.sh BUILD-DIR 7|2013
set -uo pipefail
build=$1
version=$2
case "$version" in
  7) wce=0x700 ;;
  2013) wce=0x800 ;;
  *) echo "version is 7 or 2013" >&2; exit 2 ;;
esac
status=0
fail() { echo "device configure ($version): $*"; status=1; }

# Compile commands: Microsoft's switches and the device's definitions only.
python3 - "$build/compile_commands.json" "$wce" <<'EOF' || status=1
import json, re, shlex, sys
commands = json.load(open(sys.argv[1]))
wce = sys.argv[2]
program = re.compile(r"/(app|platform|remote|sampler|ui)/")
# What a cl.exe-style command may carry that begins with '-': definitions,
# include folders (clang-cl's -imsvc for system headers), the language, the
# run-time, the target and the end of switches. Anything else with '-' is a
# GCC switch. The resource compiler's entry is the resources', not C++'s.
# clang-cl's version of the SDK's compiler is its own switch.
allowed = re.compile(r"^(-D.+|-I.+|-imsvc.+|-TP|-TC|-MD|-MT|-c|--|--target=.+|-X|-fms-compatibility-version=1[57]\.00)$")
commands = [entry for entry in commands if not entry["file"].endswith(".rc")]
bad = 0
for entry in commands:
    words = shlex.split(entry["command"])
    source = entry["file"]
    problems = []
    if not program.search(source):
        problems.append("not a program source")
    if "clang-cl" not in words[0] and "cl.exe" not in words[0].lower():
        problems.append("compiler " + words[0])
    for needed in ("/W4", "/WX", "/EHs-c-", "/D_WIN32_WCE=" + wce, "/DUNDER_CE", "-DSELVANE_DEVICE"):
        if needed not in words:
            problems.append("lacks " + needed)
    gcc = [w for w in words[1:] if w.startswith("-") and not allowed.match(w)]
    if gcc:
        problems.append("GCC switches " + " ".join(gcc))
    desktop = [w for w in words if "_WIN32_WINNT" in w]
    if desktop:
        problems.append("desktop definitions " + " ".join(desktop))
    if problems:
        bad += 1
        print(source + ": " + "; ".join(problems))
if not commands:
    print("no compile commands")
    bad += 1
print("%d compile commands, %d with a fault" % (len(commands), bad))
sys.exit(1 if bad else 0)
EOF

# The C run-time's home.
link=$(grep -A3 'build selvane-monitor.exe' "$build/build.ninja" | grep -o 'LINK_LIBRARIES = .*')
runtime=$(python3 -c 'import json,sys; print(sorted({w for e in json.load(open(sys.argv[1])) for w in e["command"].split() if w in ("-MD","/MD","-MT","/MT")}))' "$build/compile_commands.json")
if [ "$version" = 7 ]; then
  grep -qw 'corelibc.lib' <<<"$link" || fail "the program does not link corelibc.lib: $link"
else
  grep -qw 'corelibc.lib' <<<"$link" && fail "Compact 2013 has no corelibc.lib: $link"
  [ "$runtime" = "['-MD']" ] || [ "$runtime" = "['/MD']" ] || fail "the C run-time is not msvcrt.dll's (/MD): $runtime"
  grep -q 'SYSGEN_MSVCR' "$build/generated/README.txt" || fail "the package's text does not name the C run-time's catalog item"
fi

# The program alone: its executable and its two libraries are the only
# things the build makes, and there are no tests.
made=$(ninja -C "$build" -t targets all | awk -F: '{print $1}' | grep -E '\.(exe|dll|lib)$' | sort | tr '\n' ' ')
[ "$made" = "selvane-monitor.exe selvane_app.lib selvane_core.lib " ] || fail "builds more than the program: $made"
if grep -rqs 'add_test' --include=CTestTestfile.cmake "$build"; then fail "has tests"; fi
installed=$(grep -rhoE 'FILES "[^"]+"' --include=cmake_install.cmake "$build" | sed -E 's#.*/##; s/"//' | sort | tr '\n' ' ')
[ "$installed" = "README.txt selvane-monitor.exe " ] || fail "installs more than the program and its text: $installed"

# Compile every program source and the resources; archive, never link.
if cmake --build "$build" --target selvane_core selvane_app \
     CMakeFiles/selvane-monitor.dir/app/main.cpp.obj CMakeFiles/selvane-monitor.dir/resources/monitor.rc.res >"$build/check-build.log" 2>&1; then
  objects=$(find "$build" -name '*.obj' -path '*CMakeFiles/selvane*')
  count=0
  for object in $objects; do
    llvm-objdump -f "$object" | grep -q 'file format coff-arm' || fail "not ARM: $object"
    count=$((count + 1))
  done
  sources=$(python3 -c 'import json,sys; print(sum(1 for e in json.load(open(sys.argv[1])) if not e["file"].endswith(".rc")))' "$build/compile_commands.json")
  [ "$count" -eq "$sources" ] || fail "$count objects for $sources sources"
  echo "$count program sources compiled to coff-arm objects, the resources compiled; not linked (no SDK libraries here)"
else
  grep -E 'error|FAILED' "$build/check-build.log" | head -n 20
  fail "the program does not compile"
fi
[ "$status" -eq 0 ] && echo "device configure ($version): MSVC switches, _WIN32_WCE=$wce, the C run-time from $([ "$version" = 7 ] && echo corelibc.lib || echo msvcrt.dll), the program alone"
exit "$status"
