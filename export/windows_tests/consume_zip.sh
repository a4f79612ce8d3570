#!/bin/sh
# consume_zip.sh ZIP CONSUMER_SOURCE TOOLCHAIN_FILE
# Unpacks the Windows package and builds the consumer examples against it: the
# C++ one with MinGW-w64 (find_package and pkg-config) and with clang, the C
# one with MinGW-w64; each runs under wine.
set -eu
zip=$1 consumer=$2 toolchain=$3
c_consumer=$consumer/../c-consumer
work=$(mktemp -d "${TMPDIR:-/tmp}/ledgra-zip-XXXXXX")
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
prefix=$(echo "$work"/ledgra-*-win64)
version=${prefix##*/ledgra-}
version=${version%-win64}
for f in bin/ledgra.dll lib/libledgra.dll.a lib/ledgra.lib lib/ledgra.def include/ledgra/ledgra.h \
         include/ledgra/LedgraInterface.h include/ledgra/LedgraInteraction.h \
         lib/cmake/Ledgra/LedgraConfig.cmake lib/pkgconfig/ledgra.pc; do
  test -f "$prefix/$f" || { echo "missing $f" >&2; exit 1; }
done
for f in Ardmon/Ardmon.exe Ardmon/ardmon-cli.exe; do
  test -f "$prefix/$f" || { echo "missing $f" >&2; exit 1; }
done

printf 'HALV,100,12.50\r\nARDM,-5,3.25\r\nVOVU,"1,000",Note "B"\r\n' > "$work/expected.csv"

echo "== find_package(Ledgra)"
cmake -S "$consumer" -B "$work/cmake-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_EXE_LINKER_FLAGS=-static  # no MinGW runtime DLLs to ship beside it
cmake --build "$work/cmake-build"
cp "$prefix/bin/ledgra.dll" "$work/cmake-build/"
wine "$work/cmake-build/ledgra_consumer.exe" "Z:$work/cmake.csv"
cmp "$work/expected.csv" "$work/cmake.csv"

echo "== pkg-config ledgra"
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig" PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
test "$(pkg-config --modversion ledgra)" = "$version"
mkdir "$work/pc"
# shellcheck disable=SC2046
x86_64-w64-mingw32-g++-posix -std=c++17 $(pkg-config --cflags ledgra) "$consumer/main.cpp" \
    -o "$work/pc/consumer.exe" $(pkg-config --libs ledgra)
# This one uses the MinGW runtime DLLs, which ship beside it.
cp "$prefix/bin/ledgra.dll" "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)" \
   "$(x86_64-w64-mingw32-g++-posix -print-file-name=libgcc_s_seh-1.dll)" \
   /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$work/pc/"
wine "$work/pc/consumer.exe" "Z:$work/pc.csv"
cmp "$work/expected.csv" "$work/pc.csv"
echo "== clang for the MinGW target, linked by MinGW-w64's g++"
mkdir "$work/clang"
# Debian's clang does not find MinGW's C++ headers by itself.
cxx=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")/include/c++
# shellcheck disable=SC2046
clang++ --target=x86_64-w64-mingw32 -std=c++17 -nostdinc++ -isystem "$cxx" -isystem "$cxx/x86_64-w64-mingw32" \
    $(pkg-config --cflags ledgra) -c "$consumer/main.cpp" -o "$work/clang/main.o"
# shellcheck disable=SC2046
x86_64-w64-mingw32-g++-posix -static "$work/clang/main.o" -o "$work/clang/consumer.exe" $(pkg-config --libs ledgra)
cp "$prefix/bin/ledgra.dll" "$work/clang/"
wine "$work/clang/consumer.exe" "Z:$work/clang.csv"
cmp "$work/expected.csv" "$work/clang.csv"

echo "== C consumer, find_package(Ledgra)"
cmake -S "$c_consumer" -B "$work/c-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$prefix"
cmake --build "$work/c-build"
cp "$prefix/bin/ledgra.dll" "$work/c-build/"
wine "$work/c-build/ledgra_c_consumer.exe" "Z:$work/c.csv"
printf 'Symbol,Quantity,Price\r\nHALV,100,12.50\r\nARDM,-5,3.25\r\nVOVU,1000,0.75\r\n' > "$work/c-expected.csv"
cmp "$work/c-expected.csv" "$work/c.csv"
echo "the Windows package works from $zip"
