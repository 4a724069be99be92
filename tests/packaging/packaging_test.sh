#!/usr/bin/env bash
# packaging_test.sh BUILD_DIR SOURCE_DIR: install, embed and package checks.
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/wayfind-packaging-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

echo "== cmake --install into a prefix, then moved"
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log"
mv "$work/prefix" "$work/moved"
prefix=$work/moved
export WAYFIND_DB=$work/erp.db WAYFIND_CACHE_DIR=$work/cache XDG_CACHE_HOME=$work/xdg
unset WAYFIND_RESOURCES WAYFIND_MODULE_DIR
"$prefix/bin/wayfind" --version >"$work/version.txt" || fail "wayfind --version"
grep -qx "wayfind [0-9][0-9.]*" "$work/version.txt" || fail "the version printed: $(cat "$work/version.txt")"
"$prefix/bin/wayfind" --lang en tree >"$work/tree.txt" 2>"$work/tree.err" || fail "tree from the moved prefix"
grep -q "Top 1  Financial Accounting" "$work/tree.txt" || fail "English names from the prefix's resources"
"$prefix/bin/wayfind" screenshot dlgOptions "$work/options.png" --lang en >/dev/null 2>&1 || fail "a window from the prefix"
test -s "$work/options.png" || fail "no picture"
for f in include/wayfind/store/datas_info.h include/wayfind/wayfind_version.h lib/cmake/WayfindInfo/WayfindInfoConfig.cmake \
         lib/cmake/WayfindInfo/WayfindInfoConfigVersion.cmake lib/pkgconfig/wayfind.pc lib/wayfind/libwayfind_pg.so \
         share/man/man1/wayfind.1.gz share/bash-completion/completions/wayfind; do
  test -e "$prefix/$f" || fail "the prefix has no $f"
done
bash -n "$prefix/share/bash-completion/completions/wayfind" || fail "the completion script does not parse"
PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --exists --print-errors wayfind wayfind-windows || fail "pkg-config"
# The prefix the pkg-config files give is where they lie now, not where they were made for.
pc_prefix=$(PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --variable=prefix wayfind)
test "$(cd "$pc_prefix" && pwd -P)" = "$(cd "$prefix" && pwd -P)" || fail "pkg-config's prefix is $pc_prefix"
printf '#include "wayfind_version.h"\nint main() { return 0; }\n' >"$work/pc.cpp"
g++ "$work/pc.cpp" -o "$work/pc" $(PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --cflags --libs wayfind) \
  || fail "a program built with pkg-config's flags"
zcat "$prefix/share/man/man1/wayfind.1.gz" | grep -q '凭证管理' || fail "the manual page has no Chinese"
! zcat "$prefix/share/man/man1/wayfind.1.gz" | grep -q '????' || fail "the manual page has lost characters"

echo "== a host program built against the prefix with find_package"
cmake -S "$source/examples/host" -B "$work/host" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >"$work/host-configure.log" \
  || { cat "$work/host-configure.log"; fail "configuring the host"; }
cmake --build "$work/host" >"$work/host-build.log" || { cat "$work/host-build.log"; fail "building the host"; }
"$work/host/wayfind_host" --db "$work/host.db" --user 16385 --lang en >"$work/host.txt" || fail "running the host"
grep -q "^  2  Supply Chain$" "$work/host.txt" || { cat "$work/host.txt"; fail "the host's top classes"; }

echo "== the desktop entry and the AppStream metadata"
desktop-file-validate "$source/packaging/org.wayfind.WayfindInfo.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --pedantic "$source/packaging/org.wayfind.WayfindInfo.metainfo.xml" \
  || fail "appstreamcli validate"

echo "== cpack -G DEB, unpacked and run"
(cd "$build" && cpack -G DEB -B "$work/deb" >"$work/cpack.log" 2>&1) || { tail -30 "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/deb/wayfind_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libsqlite3 libqt6widgets6 libpq5 libstdc++6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
dpkg-deb -c "$deb" >"$work/contents.txt"
for f in usr/share/applications/org.wayfind.WayfindInfo.desktop usr/share/metainfo/org.wayfind.WayfindInfo.metainfo.xml \
         usr/share/man/man1/wayfind.1.gz usr/lib/wayfind/libwayfind_gui.so usr/share/doc/wayfind/README.md \
         usr/share/doc/wayfind/server-rights.md; do
  grep -q "$f" "$work/contents.txt" || fail "the package has no $f"
done
dpkg-deb -x "$deb" "$work/root"
"$work/root/usr/bin/wayfind" --help >/dev/null || fail "wayfind --help from the package"
WAYFIND_DB=$work/deb.db "$work/root/usr/bin/wayfind" tree >"$work/deb-tree.txt" 2>/dev/null || fail "tree from the package"
grep -q "Top 1  财务会计" "$work/deb-tree.txt" || fail "the package's tree"
# Libraries reached through a link (/lib is a link to /usr/lib): still installed in the
# prefix, so the cache goes to the user's cache folder, never beside the libraries.
core=$(find "$work/root/usr" -name 'libwayfind_core.so*' | head -1)
ln -s usr/lib "$work/root/lib"
linked=$work/root/lib/$(dirname "${core#"$work/root/usr/lib/"}")
(unset WAYFIND_CACHE_DIR; WAYFIND_DB=$work/deb.db XDG_CACHE_HOME=$work/xdg-linked LD_LIBRARY_PATH=$linked \
  "$work/root/usr/bin/wayfind" tree >/dev/null 2>&1) || fail "tree with the libraries through a link"
test -d "$work/xdg-linked/wayfind/WayfindTemp" || fail "no cache in XDG_CACHE_HOME"
test -z "$(find "$work/root/usr" -name WayfindTemp)" || fail "a cache beside the package's libraries"
echo "All packaging checks passed."
