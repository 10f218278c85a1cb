#!/usr/bin/env bash
# cppcheck over the program's and the stand-ins' sources. Every finding fails
# the run; a finding judged harmless is suppressed inline
# (// cppcheck-suppress <id>) with a comment that says why.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
cppcheck --quiet --enable=warning,performance,portability,style --std=c++17 \
  --library=windows -D_WIN32 -DUNICODE -D_UNICODE -I . --inline-suppr --error-exitcode=1 \
  app platform remote sampler ui standins
echo "cppcheck: no findings"
