#!/usr/bin/env bash
# Fails when a file under SOURCE-DIR uses the C++ thread library or POSIX threads, naming the file
# and the line: under MinGW-w64 both are winpthreads, whose detach recycles a thread's descriptor
# while the thread is still exiting. The program makes its threads and locks with the system's
# own calls.
set -uo pipefail
cd "$1" || exit 2
pattern='std::(thread|jthread|async|mutex|recursive_mutex|timed_mutex|shared_mutex|condition_variable)\b'
pattern+='|#[[:space:]]*include[[:space:]]*<(thread|mutex|condition_variable|future|shared_mutex)>'
pattern+='|pthread_'
if grep -rnE --include='*.h' --include='*.cpp' "$pattern" .; then
  echo "the lines above use the thread library: use the system's threads and locks" >&2
  exit 1
fi
