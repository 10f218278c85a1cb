#!/usr/bin/env bash
# Whether this machine runs 32-bit x86 programs, which Wine needs for a 32-bit
# Windows program (its 32-bit loader is a 32-bit Linux program): builds a
# static 32-bit program that only exits and runs it. Prints why not, and
# exits non-zero, when the kernel refuses it (no IA-32 emulation, or a
# hypervisor that disables it).
set -uo pipefail
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf 'void _start(void) { __asm__ volatile("movl $1, %%eax; xorl %%ebx, %%ebx; int $0x80"); }\n' >"$dir/exit.c"
if ! clang -m32 -nostdlib -static -o "$dir/exit32" "$dir/exit.c" 2>"$dir/log"; then
  echo "32-bit programs: cannot build the probe: $(head -n 1 "$dir/log")"
  exit 1
fi
if ! out=$("$dir/exit32" 2>&1); then
  echo "32-bit programs do not run on this kernel ($(uname -r)): $(sed -E "s#^.*line [0-9]+: ##" <<<"$out" | head -n 1)"
  exit 1
fi
echo "32-bit programs run on this kernel"
