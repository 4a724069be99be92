#!/usr/bin/env bash
# packaging_test.sh BUILD_DIR SOURCE_DIR: the installed component and its Debian
# packages, tried as a user and as a host program's developer would: cmake
# --install into a prefix that is then moved, three hosts written from scratch
# built against it (tests/packaging/consumers), the Debian packages built,
# checked by lintian when it is installed, unpacked and run.
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/wayfind-packaging-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
consumers=$source/tests/packaging/consumers
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:[A-Z]*=//p' "$build/CMakeCache.txt")

echo "== the build tree's program and libraries search no empty (current) folder"
for f in "$build/app/wayfind" "$build"/lib/*.so.* "$build"/lib/wayfind/*.so; do
  runpath=$(readelf -d "$f" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  [ -z "$runpath" ] || case ":$runpath:" in *::*) fail "$f searches the current folder for libraries: RUNPATH [$runpath]" ;; esac
done

echo "== cmake --install into a prefix, then moved"
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log"
mv "$work/prefix" "$work/moved"
prefix=$work/moved
export WAYFIND_CACHE_DIR=$work/cache XDG_CACHE_HOME=$work/xdg
unset WAYFIND_RESOURCES WAYFIND_MODULE_DIR WAYFIND_DB WAYFIND_USER WAYFIND_LANGUAGE
"$prefix/bin/wayfind" --version >"$work/version.txt" || fail "wayfind --version"
grep -qx "wayfind [0-9][0-9.]*" "$work/version.txt" || fail "the version printed: $(cat "$work/version.txt")"
WAYFIND_DB=$work/erp.db "$prefix/bin/wayfind" --lang en tree >"$work/tree.txt" 2>"$work/tree.err" || fail "tree from the moved prefix"
grep -q "Top 1  Financial Accounting" "$work/tree.txt" || fail "English names from the prefix's resources"
WAYFIND_DB=$work/erp.db "$prefix/bin/wayfind" screenshot dlgOptions "$work/options.png" --lang en >/dev/null 2>&1 \
  || fail "a window from the prefix"
test -s "$work/options.png" || fail "no picture"
for f in include/wayfind/session.h include/wayfind/version.h "$libdir/cmake/WayfindInfo/WayfindInfoConfig.cmake" \
         "$libdir/pkgconfig/wayfind.pc" "$libdir/libwayfind_core.so.9" "$libdir/wayfind/libwayfind_pg.so" \
         share/man/man1/wayfind.1.gz share/bash-completion/completions/wayfind; do
  test -e "$prefix/$f" || fail "the prefix has no $f"
done
bash -n "$prefix/share/bash-completion/completions/wayfind" || fail "the completion script does not parse"
zcat "$prefix/share/man/man1/wayfind.1.gz" >"$work/wayfind.1"
grep -q '凭证管理' "$work/wayfind.1" || fail "the manual page has no Chinese"

echo "== only the public headers, each complete alone; only the public API exported"
extra=$(cd "$prefix/include" && find . -type f ! -path './wayfind/*.h' | head -5)
test -z "$extra" || fail "the prefix installs headers beside the public ones: $extra"
test -z "$(find "$prefix/include/wayfind" -mindepth 1 -type d)" || fail "folders under include/wayfind"
for h in "$prefix"/include/wayfind/*.h; do
  printf '#include <wayfind/%s>\n' "$(basename "$h")" >"$work/one.cpp"
  g++ -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I"$prefix/include" "$work/one.cpp" || fail "$(basename "$h") alone"
done
for lib in libwayfind_core.so.9 libwayfind_windows.so.9; do
  test -e "$prefix/$libdir/$lib" || continue
  # Our own symbols are the API's (namespace wayfind, not its internals' namespaces).
  inner=$(nm -D --defined-only -C "$prefix/$libdir/$lib" | grep -E 'wayfind::(platform|erp|store|update|context|launcher|widgets|api)::' | head -3 || true)
  test -z "$inner" || fail "$lib exports internals: $inner"
  count=$(nm -D --defined-only "$prefix/$libdir/$lib" | wc -l)
  test "$count" -lt 150 || fail "$lib exports $count symbols"
done

echo "== a host with find_package(WayfindInfo COMPONENTS core), Qt unfindable"
cmake -S "$consumers" -B "$work/consumers" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON \
  >"$work/consumers-configure.log" 2>&1 || { cat "$work/consumers-configure.log"; fail "configuring the core host"; }
cmake --build "$work/consumers" >"$work/consumers-build.log" 2>&1 || { cat "$work/consumers-build.log"; fail "building the core host"; }
ldd "$work/consumers/core_host" >"$work/core-host-ldd.txt" || fail "ldd core_host"
! grep -q libQt "$work/core-host-ldd.txt" || fail "the core host loads Qt"
"$work/consumers/core_host" "$work/core-host/erp.db" >"$work/core-host.txt" 2>&1 || { cat "$work/core-host.txt"; fail "the core host"; }

echo "== a host built from pkg-config's flags with a plain compiler line"
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
pc_prefix=$(pkg-config --variable=prefix wayfind)
test "$(cd "$pc_prefix" && pwd -P)" = "$(cd "$prefix" && pwd -P)" || fail "pkg-config's prefix is $pc_prefix"
test "$(cd "$(pkg-config --variable=includedir wayfind)" && pwd -P)" = "$(cd "$prefix/include" && pwd -P)" \
  || fail "pkg-config's includedir"
test "$(cd "$(pkg-config --variable=libdir wayfind)" && pwd -P)" = "$(cd "$prefix/$libdir" && pwd -P)" \
  || fail "pkg-config's libdir"
g++ "$consumers/plain_host.cpp" -o "$work/plain_host" $(pkg-config --cflags --libs wayfind) || fail "the pkg-config host"
LD_LIBRARY_PATH=$prefix/$libdir "$work/plain_host" "$work/plain/erp.db" >"$work/plain.txt" || fail "running the pkg-config host"
grep -q "^2  Supply Chain$" "$work/plain.txt" || { cat "$work/plain.txt"; fail "the pkg-config host's tree"; }

if [ -e "$prefix/$libdir/libwayfind_windows.so.9" ]; then
  echo "== a Qt host that opens a window, and examples/host"
  cmake -S "$consumers" -B "$work/window" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" -DWITH_WINDOW=ON >"$work/window.log" 2>&1 \
    && cmake --build "$work/window" >>"$work/window.log" 2>&1 || { cat "$work/window.log"; fail "building the Qt host"; }
  timeout 120 "$work/window/window_host" "$work/window/erp.db" >"$work/window.txt" 2>&1 || { cat "$work/window.txt"; fail "the Qt host"; }
  grep -q "^shown: " "$work/window.txt" || { cat "$work/window.txt"; fail "the options dialog was not shown"; }
  grep -q "^after: [1-9][0-9]* top classes$" "$work/window.txt" || { cat "$work/window.txt"; fail "the Qt host did not read the tree after the dialog"; }
  grep -qx "closed: 429" "$work/window.txt" || { cat "$work/window.txt"; fail "WayfindInfo.Application after the windows closed"; }
  cmake -S "$source/examples/host" -B "$work/host" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >"$work/host.log" 2>&1 \
    && cmake --build "$work/host" >>"$work/host.log" 2>&1 || { cat "$work/host.log"; fail "building examples/host"; }
  "$work/host/wayfind_host" "$work/host.db" 16385 en >"$work/host.txt" || fail "running examples/host"
  grep -q "^2  Supply Chain$" "$work/host.txt" || { cat "$work/host.txt"; fail "examples/host's top classes"; }
  "$work/host/wayfind_host" "$work/host.db" not-a-user >"$work/host-bad.txt" 2>&1 && fail "examples/host took a wrong user id"
  grep -q "USER is an ERP user id" "$work/host-bad.txt" || { cat "$work/host-bad.txt"; fail "examples/host's error for a wrong user id"; }
fi

echo "== the desktop entry and the AppStream metadata"
desktop-file-validate "$source/packaging/org.wayfind.WayfindInfo.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --pedantic "$source/packaging/org.wayfind.WayfindInfo.metainfo.xml" \
  || fail "appstreamcli validate"

echo "== the Debian packages"
bash "$source/packaging/debian/build-packages" "$build" "$work/deb" >"$work/debs.txt" 2>"$work/debs.log" \
  || { cat "$work/debs.log"; fail "build-packages"; }
deb() { ls "$work"/deb/"$1"_*.deb; }
for p in libwayfind-core9 libwayfind-dev wayfind; do deb "$p" >/dev/null || fail "no package $p"; done
dpkg-deb -I "$(deb libwayfind-core9)" symbols >"$work/symbols" || fail "libwayfind-core9 has no symbols file"
grep -q "_ZN7wayfind7Session4openERKNS_14SessionOptionsE@Base" "$work/symbols" || fail "the symbols file lacks Session::open"
! grep -q "_ZN7wayfind8platform" "$work/symbols" || fail "the symbols file lists internals"
dpkg-deb -I "$(deb libwayfind-core9)" shlibs | grep -qx "libwayfind_core 9 libwayfind-core9 (>= [0-9.]*)" || fail "shlibs"
dpkg-deb -I "$(deb libwayfind-core9)" triggers | grep -qx "activate-noawait ldconfig" || fail "the ldconfig trigger"
# SQLite is linked by the core's private library, so the runtime library package
# depends on it; the program depends on that package at its exact version.
core_depends=$(dpkg-deb -f "$(deb libwayfind-core9)" Depends)
grep -q "libsqlite3" <<<"$core_depends" || fail "libwayfind-core9's Depends lacks libsqlite3: $core_depends"
depends=$(dpkg-deb -f "$(deb wayfind)" Depends)
for lib in libstdc++6 "libwayfind-core9 (= "; do
  grep -qF "$lib" <<<"$depends" || fail "wayfind's Depends lacks $lib: $depends"
done
grep -q fonts-noto-cjk <<<"$(dpkg-deb -f "$(deb wayfind)" Recommends)" || fail "Recommends"
# The listings are read whole (grep -q stops early, and pipefail would see dpkg-deb's broken pipe).
dpkg-deb -c "$(deb libwayfind-dev)" >"$work/dev-contents.txt"
grep -q "usr/include/wayfind/session.h" "$work/dev-contents.txt" || fail "the -dev package's headers"
dpkg-deb -c "$(deb wayfind)" >"$work/program-contents.txt"
grep -q "usr/lib/[^/]*/wayfind/libwayfind_app.so" "$work/program-contents.txt" || fail "the program's private library"
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$work"/deb/*.deb >"$work/lintian.txt" 2>&1 \
    || { cat "$work/lintian.txt"; fail "lintian"; }
  grep -E '^[EW]:' "$work/lintian.txt" && fail "lintian's errors and warnings"
fi
for d in "$work"/deb/*.deb; do dpkg-deb -x "$d" "$work/root"; done
"$work/root/usr/bin/wayfind" --help >/dev/null || fail "wayfind --help from the packages"
WAYFIND_DB=$work/deb.db "$work/root/usr/bin/wayfind" tree >"$work/deb-tree.txt" 2>/dev/null || fail "tree from the packages"
grep -q "Top 1  财务会计" "$work/deb-tree.txt" || fail "the packages' tree"
# Libraries reached through a link (/lib is a link to /usr/lib): still installed in the
# prefix, so the cache goes to the user's cache folder, never beside the libraries.
ln -s usr/lib "$work/root/lib"
(unset WAYFIND_CACHE_DIR; WAYFIND_DB=$work/deb.db XDG_CACHE_HOME=$work/xdg-linked \
  LD_LIBRARY_PATH=$work/root/lib/${libdir#lib/}/wayfind "$work/root/usr/bin/wayfind" tree >/dev/null 2>&1) \
  || fail "tree with the libraries through a link"
test -d "$work/xdg-linked/wayfind/WayfindTemp" || fail "no cache in XDG_CACHE_HOME"
test -z "$(find "$work/root/usr" -name WayfindTemp)" || fail "a cache beside the packages' libraries"
echo "All packaging checks passed."
