#!/bin/sh
# install_and_consume.sh BUILD_DIR CONSUMER_SOURCE BUILD_TYPE [EXTRA_CXX_FLAGS]
# LEDGRA_VERSION is the library's version, which ledgra.pc reports.
set -eu
build=$1 consumer=$2 type=${3:-Release} flags=${4:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/ledgra-install-XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --component ledgra --prefix "$prefix"
test -f "$prefix/include/ledgra/LedgraInterface.h"

expected=$work/expected.csv
printf 'HALV,100,12.50\r\nARDM,-5,3.25\r\nVOVU,"1,000",Note "B"\r\n' > "$expected"

echo "== find_package(Ledgra)"
cmake -S "$consumer" -B "$work/cmake-build" -G Ninja -DCMAKE_BUILD_TYPE="$type" \
      -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS="$flags"
cmake --build "$work/cmake-build"
"$work/cmake-build/ledgra_consumer" "$work/cmake.csv"
cmp "$expected" "$work/cmake.csv"

echo "== pkg-config ledgra"
pc=$(find "$prefix" -name ledgra.pc)
export PKG_CONFIG_PATH="${pc%/ledgra.pc}"
test "$(pkg-config --modversion ledgra)" = "${LEDGRA_VERSION:?LEDGRA_VERSION is not set}"
libdir=$(pkg-config --variable=libdir ledgra)
# shellcheck disable=SC2046
c++ -std=c++17 $flags $(pkg-config --cflags ledgra) "$consumer/main.cpp" \
    -o "$work/pc-consumer" $(pkg-config --libs ledgra) -Wl,-rpath,"$libdir"
"$work/pc-consumer" "$work/pc.csv"
cmp "$expected" "$work/pc.csv"
echo "== the C interface only"
so=$(find "$prefix" -name 'libledgra.so.*.*')
if nm -D --defined-only "$so" | awk '{print $3}' | grep -v '^ledgra_\|^LEDGRA_'; then
  echo "$so exports more than the C interface" >&2
  exit 1
fi

echo "== C consumer, find_package(Ledgra)"
cmake -S "$consumer/../c-consumer" -B "$work/c-build" -G Ninja -DCMAKE_BUILD_TYPE="$type" \
      -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_FLAGS="$flags"
cmake --build "$work/c-build"
export LEDGRA_OPEN_WORKBOOK=0
"$work/c-build/ledgra_c_consumer" "$work/c.csv"
printf 'Symbol,Quantity,Price\r\nHALV,100,12.50\r\nARDM,-5,3.25\r\nVOVU,1000,0.75\r\n' > "$work/c-expected.csv"
cmp "$work/c-expected.csv" "$work/c.csv"
"$work/c-build/ledgra_c_consumer" "$work/positions.xls"
/usr/bin/python3 -c '
import sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
rows = [book.sheet_by_index(0).row_values(r) for r in range(4)]
assert book.sheet_names() == ["positions-Sheet1"], book.sheet_names()
assert rows == [["Symbol", "Quantity", "Price"], ["HALV", 100, 12.5], ["ARDM", -5, 3.25],
                ["VOVU", 1000, 0.75]], rows' "$work/positions.xls"
echo "installed Ledgra works from $prefix"
