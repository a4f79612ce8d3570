#!/bin/sh
# check_dll.sh DLL FORMAT OBJDUMP
# Inspects ledgra.dll without running it: its PE format (pei-x86-64 or
# pei-i386), that it exports exactly the names of ledgra.def (no C++ name), and
# that it imports system DLLs only.
set -eu
dll=$1 format=$2 objdump=$3
def=$(dirname "$0")/../packaging/ledgra.def
"$objdump" -f "$dll" | grep -q "file format $format\$" || { echo "$dll is not $format" >&2; exit 1; }

exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\]/ {print $NF}' | grep -v Table | sort)
expected=$(awk 'f {print $1} /^EXPORTS/ {f=1}' "$def" | sort)
if echo "$exports" | grep '^_Z'; then echo "$dll exports C++ names" >&2; exit 1; fi
[ "$exports" = "$expected" ] || { printf 'exports differ from ledgra.def:\n%s\n' "$exports" >&2; exit 1; }

system='^(kernel32|user32|advapi32|comdlg32|ole32|oleaut32|shell32|msvcrt)\.dll$'
imports=$("$objdump" -p "$dll" | awk '/DLL Name:/ {print tolower($3)}')
if echo "$imports" | grep -Ev "$system"; then echo "$dll imports DLLs other than the system's" >&2; exit 1; fi
echo "$dll: $format, $(echo "$exports" | wc -l) exports, imports $(echo $imports)"
