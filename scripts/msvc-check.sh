#!/usr/bin/env bash
# Checks every .cpp and .h of src/, bench/ and tests/e2e/ as Visual Studio's compiler reads them:
# clang-cl in its Visual Studio mode (/permissive-, /W4, and clang's pedantic, variable-length-
# array and GNU-extension warnings), for 32- and for 64-bit Windows, each file alone, two at a
# time; any error or warning fails. Then fails on the GNU and MinGW-only constructs that clang-cl
# accepts. The headers are MinGW-w64's and libc++'s, not Visual Studio's SDK and standard library.
# Usage: msvc-check.sh VERSION GOOGLETEST-INCLUDE: the version the end-to-end tests expect, and the
# folder of GoogleTest's headers they include (the native build's test passes both).
set -euo pipefail
cd -P "$(dirname "$0")/.."
version=$1
googletest_include=$2
clang_cl=$(command -v clang-cl || command -v clang-cl-14) ||
  { echo "no clang-cl: install clang (scripts/install-deps.sh)" >&2; exit 1; }
export clang_cl version googletest_include

# check_file TRIPLE FILE: prints what clang-cl says of FILE, and fails if it said anything.
# shellcheck disable=SC2317  # run by xargs
check_file() {
  local flags=(--target="$1" /Zs /std:c++17 /permissive- /EHsc /W4 /Zc:__cplusplus /DUNICODE
    /D_UNICODE /DNOMINMAX /D_WIN32_WINNT=0x0601 /DWINVER=0x0601 /clang:-Wpedantic /clang:-Wvla
    /clang:-Wgnu -Wno-pragma-once-outside-header -Wno-unused-command-line-argument /X
    # MinGW-w64's headers define some of their own macros only for a GNU compiler.
    -Xclang -fgnuc-version=4.2.1
    # The C runtime is the universal one, as Visual Studio's is; MinGW-w64 declares the data of
    # msvcrt.dll through an import macro that it leaves undefined where __declspec is a keyword.
    /D_UCRT
    # libc++ would otherwise take std::exception from Visual Studio's runtime headers.
    /D_LIBCPP_NO_VCRUNTIME
    -fms-compatibility-version=19.38 -imsvc /usr/lib/llvm-14/include/c++/v1
    # Two declarations of Visual Studio's C runtime that libc++ needs and MinGW-w64 10 lacks.
    -imsvc scripts/msvc-shim
    -imsvc "/usr/${1%%-*}-w64-mingw32/include" /I src)
  [[ $1 != i686-* ]] || flags+=(/D_X86_=1)
  [[ $2 != *.h ]] || flags+=(-Wno-unused-const-variable -Wno-unused-function)
  [[ $2 != tests/e2e/* ]] ||
    flags+=(/I tests/e2e -imsvc "$googletest_include" "/DHALVIK_VERSION=\"$version\"")
  local said
  said=$("$clang_cl" "${flags[@]}" /Tp "$2" 2>&1) && [ -z "$said" ] && return
  printf '%s (%s):\n%s\n' "$2" "$1" "$said"
  return 1
}
export -f check_file

mapfile -t files < <(find src bench tests/e2e -name '*.cpp' -o -name '*.h' | sort)
status=0
for triple in x86_64-pc-windows-msvc i686-pc-windows-msvc; do
  printf "$triple %s\n" "${files[@]}"
done | xargs -P 2 -L 1 bash -c 'check_file "$@"' _ || status=1

gnu='__attribute__|__builtin_|__int128|typeof|__extension__|#[[:space:]]*(include_next|warning)'
gnu+='|__mingw_|__MINGW|__GNUC__|__PRETTY_FUNCTION__|#[[:space:]]*include[[:space:]]*[<"]'
gnu+='(unistd|pthread|dirent|getopt|strings|sys/time|sys/param|dlfcn)\.h'
if grep -nE "$gnu" "${files[@]}"; then
  echo "GNU or MinGW-only constructs above: Visual Studio has none of them" >&2
  status=1
fi
[ "$status" -eq 1 ] || echo "${#files[@]} files valid in Visual Studio's mode, 32- and 64-bit"
exit "$status"
