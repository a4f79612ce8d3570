#!/bin/sh
# link_abis.sh INCLUDE DEF LIB DLLDIR WORK
# Links abi_consumer.c, a C program without a C runtime, against ledgra.dll's
# import libraries for both ABIs and both bitnesses: for Visual C++ (clang for
# the msvc targets, lld-link with safe exception handlers for 32 bits) and for
# MinGW (gcc), each 64-bit program run under wine beside ledgra.dll. LIB is
# the shipped 64-bit ledgra.lib; the 32-bit one is made the same way from DEF.
set -eu
include=$1 def=$2 lib64=$3 dlldir=$4 work=$5
source=$(dirname "$0")/abi_consumer.c
rm -rf "$work" && mkdir -p "$work" && cd "$work"
llvm-dlltool -m i386 -d "$def" -D ledgra.dll -l ledgra32.lib

# kernel32's three functions, in the Visual C++ import format.
printf 'LIBRARY kernel32.dll\nEXPORTS\n GetStdHandle\n WriteFile\n ExitProcess\n' >k64.def
printf 'LIBRARY kernel32.dll\nEXPORTS\n GetStdHandle@4\n WriteFile@20\n ExitProcess@4\n' >k32.def
llvm-dlltool -m i386:x86-64 -d k64.def -l k64.lib
llvm-dlltool -m i386 -d k32.def -l k32.lib

flags="-std=c11 -Wall -Wextra -Wpedantic -Werror -ffreestanding -I$include"
# shellcheck disable=SC2086
{
  clang --target=x86_64-pc-windows-msvc $flags -c "$source" -o msvc64.obj
  lld-link /nologo /subsystem:console /entry:mainCRTStartup /nodefaultlib msvc64.obj "$lib64" k64.lib /out:msvc64.exe
  clang --target=i686-pc-windows-msvc $flags -c "$source" -o msvc32.obj
  lld-link /nologo /subsystem:console /entry:mainCRTStartup /nodefaultlib /safeseh msvc32.obj ledgra32.lib k32.lib \
           /out:msvc32.exe
  x86_64-w64-mingw32-gcc $flags -nostdlib "$source" "$lib64" k64.lib -e mainCRTStartup -o mingw64.exe
  i686-w64-mingw32-gcc $flags -nostdlib "$source" ledgra32.lib k32.lib -e _mainCRTStartup -o mingw32.exe
}

for exe in msvc32.exe mingw32.exe; do
  x86_64-w64-mingw32-objdump -f "$exe" | grep -q 'file format pei-i386$' || { echo "$exe is not 32-bit" >&2; exit 1; }
done
for exe in msvc64.exe mingw64.exe; do
  out=$(WINEPATH="Z:$dlldir" wine "$exe")
  [ "$out" = "$(sed -n 's/^#define LEDGRA_VERSION_STRING "\(.*\)"$/\1/p' "$include/ledgra/ledgra.h") AB12" ] ||
    { echo "$exe printed: $out" >&2; exit 1; }
done
echo "linked for Visual C++ and MinGW, 32 and 64 bits; the 64-bit programs ran"
