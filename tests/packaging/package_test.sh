#!/usr/bin/env bash
# package_test.sh BUILD_DIR SOURCE_DIR SCRATCH
#
# What a CI step does with the Debian packages: build them with CPack from the
# build tree, check their names, dependencies and contents, unpack them into a
# scratch root (dpkg -x, no root rights needed) and build Ledgra's two clients,
# examples/consumer and the demo terminal, against that root only.
#
# HALVO_VERSION is the project's version: ardmon carries it. LEDGRA_VERSION is
# the library's: its two packages carry it, its library package's name and the
# soname its major number. lintian must find nothing to report.
set -euo pipefail
build=$1 src=$2 scratch=$3
version=${HALVO_VERSION:?HALVO_VERSION is not set}
ledgra_version=${LEDGRA_VERSION:?LEDGRA_VERSION is not set}
lib=libledgra${ledgra_version%%.*}
so=libledgra.so.${ledgra_version%%.*}

fail() { echo "FAIL: $*" >&2; exit 1; }

for tool in dpkg-deb cpack lintian; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (./run test installs it)"
done

rm -rf "$scratch"
mkdir -p "$scratch/debs" "$scratch/root"
if ! (cd "$build" && cpack -G DEB -B "$scratch/debs" --config CPackConfig.cmake) \
      >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  fail "cpack failed"
fi

deb() { compgen -G "$scratch/debs/$1_*.deb" | head -n1 || true; }
field() { dpkg-deb -f "$(deb "$1")" "$2"; }
contents() { dpkg-deb -c "$(deb "$1")" | awk '{print $6}' | sed 's|^\./|/|'; }
has() { contents "$1" | grep -E "$2" >/dev/null || fail "$1 lacks $2"; }
lacks() { ! contents "$1" | grep -E "$2" >/dev/null || fail "$1 should not hold $2"; }

for p in ardmon $lib libledgra-dev; do
  [ -n "$(deb $p)" ] || fail "no $p package in $(ls "$scratch/debs")"
  echo "$(basename "$(deb $p)"): Depends: $(field $p Depends)"
  want=$ledgra_version
  [ $p = ardmon ] && want=$version
  [ "$(field $p Version)" = "$want" ] || fail "$p has version $(field $p Version), not $want"
done

# As a distribution takes them: no error, no warning.
lintian --fail-on error,warning "$(deb ardmon)" "$(deb $lib)" "$(deb libledgra-dev)" >"$scratch/lintian.log" 2>&1 \
  || { cat "$scratch/lintian.log" >&2; fail "lintian reports the packages"; }
! grep -E '^[EW]: ' "$scratch/lintian.log" || fail "lintian: errors or warnings"
# The loader's cache through dpkg's trigger, not the library package's scripts.
dpkg-deb --ctrl-tarfile "$(deb $lib)" | tar -tf - | grep -E 'postinst|postrm' && fail "$lib has maintainer scripts"
dpkg-deb -I "$(deb $lib)" triggers | grep -qx 'activate-noawait ldconfig' || fail "$lib has no ldconfig trigger"

# Dependencies: the runtime libraries come from dpkg-shlibdeps, the -dev
# package needs exactly its library.
field ardmon Depends | grep 'libwxgtk3\.2' >/dev/null || fail "ardmon does not depend on wx"
field $lib Depends | grep 'libwxgtk3\.2' >/dev/null || fail "$lib does not depend on wx"
! field $lib Depends | grep 'libgsf' >/dev/null || fail "$lib still depends on libgsf"
field libledgra-dev Depends | grep -E "$lib \(= $ledgra_version\)" >/dev/null \
  || fail "libledgra-dev does not depend on this $lib"

has ardmon '^/usr/bin/ardmon$'
has ardmon '^/usr/bin/ardmon-cli$'
has ardmon '^/usr/share/man/man1/ardmon\.1\.gz$'
has ardmon '^/usr/share/man/man1/ardmon-cli\.1\.gz$'
has ardmon '^/usr/share/bash-completion/completions/ardmon-cli$'
for p in ardmon $lib libledgra-dev; do
  has $p "^/usr/share/doc/$p/copyright\$"
  has $p "^/usr/share/doc/$p/changelog\.gz\$"
done
has ardmon '^/usr/share/applications/ardmon\.desktop$'
has ardmon '^/usr/share/icons/hicolor/48x48/apps/ardmon\.png$'
has $lib "/${so//./\\.}\$"
lacks $lib '/libledgra\.so$|/include/'
has libledgra-dev '^/usr/include/ledgra/LedgraInterface\.h$'
has libledgra-dev '^/usr/include/ledgra/LedgraInteraction\.h$'
has libledgra-dev '/libledgra\.so$'
has libledgra-dev '/cmake/Ledgra/LedgraConfig\.cmake$'
has libledgra-dev '/pkgconfig/ledgra\.pc$'
lacks libledgra-dev "/${so//./\\.}"

# No file belongs to two packages.
dups=$(for p in ardmon $lib libledgra-dev; do contents $p | grep -v '/$'; done | sort | uniq -d)
[ -z "$dups" ] || fail "files in more than one package: $dups"

# The three install together on this system (dependencies resolvable).
if command -v apt-get >/dev/null; then
  apt-get install -s -qq -o Debug::NoLocking=1 "$(deb ardmon)" "$(deb $lib)" "$(deb libledgra-dev)" \
    >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log" >&2; fail "apt-get cannot install the packages"; }
fi

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$src/packaging/ardmon.desktop"
fi

for p in ardmon $lib libledgra-dev; do dpkg -x "$(deb $p)" "$scratch/root"; done
root=$scratch/root/usr
libfile=$(find "$root" -name "$so" | head -n1)
[ -n "$libfile" ] || fail "$so not unpacked"

# pkg-config: flags that point into the root.
if command -v pkg-config >/dev/null; then
  pcdir=$(dirname "$(find "$root" -name ledgra.pc | head -n1)")
  flags=$(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs ledgra)
  echo "pkg-config: $flags"
  cat >"$scratch/pc.cpp" <<'CPP'
#include <ledgra/LedgraInterface.h>
int main() { CLedgraInterface t(2, 3); return t.m_nRows == 2 ? 0 : 1; }
CPP
  # shellcheck disable=SC2086
  c++ -std=c++20 "$scratch/pc.cpp" -o "$scratch/pc" $flags
  LD_LIBRARY_PATH=$(dirname "$libfile") "$scratch/pc" || fail "pkg-config program failed"
fi

# The two clients, through find_package(Ledgra) with the root as the only prefix.
build_client() {
  local name=$1 dir=$2
  [ -f "$dir/CMakeLists.txt" ] || fail "no $dir/CMakeLists.txt"
  cmake -S "$dir" -B "$scratch/$name" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_PREFIX_PATH="$root" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$scratch/$name.log" 2>&1 \
    || { cat "$scratch/$name.log" >&2; fail "$name: configure failed"; }
  grep -q "^Ledgra_DIR:PATH=$scratch/root/" "$scratch/$name/CMakeCache.txt" \
    || fail "$name found Ledgra outside the unpacked packages"
  cmake --build "$scratch/$name" --parallel 2 >>"$scratch/$name.log" 2>&1 \
    || { cat "$scratch/$name.log" >&2; fail "$name: build failed"; }
  local exe found=0
  while IFS= read -r exe; do
    head -c4 "$exe" | grep -q ELF || continue
    # (grep reads all of ldd's output here: with pipefail an early exit would
    # fail the pipeline through SIGPIPE.)
    ldd "$exe" | grep "$so => $scratch/root/" >/dev/null \
      || fail "$exe does not load $so from the unpacked packages"
    found=1
  done < <(find "$scratch/$name" -path '*/CMakeFiles' -prune -o -type f -executable -print)
  [ $found = 1 ] || fail "$name built no program"
  echo "$name: built against the packages"
}
build_client consumer "$src/examples/consumer"
build_client terminal "$src/examples/terminal"
echo "packages OK"
