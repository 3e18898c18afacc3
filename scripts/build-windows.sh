#!/usr/bin/env bash
# Cross-compiles the programs and the tests for 64-bit Windows (MinGW-w64, warnings as errors) and
# packs cameracontrol-win64.zip: the programs with every DLL they load, the Qt plugins, qt.conf and
# the licences, so that unpacking it on a Windows PC is the whole installation.
#
# Usage: scripts/build-windows.sh [build-dir] [extra cmake arguments...]   (default: build-win)
# Needs the cross toolchain of ../shared/windows (README there); CC_WINDOWS_TOOLCHAIN names another
# folder holding install-toolchain.sh, toolchain.cmake and wine-env.sh. Installs it when run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# The programs that go into the zip, as CMake names their targets. One that the build does not make
# (the command-line program, where the tree has none yet) is left out with a note.
programs=(cameracontrol cameracontrol-demo cameracontrol-cli)
# The Qt plugins they load: the platform, the native widget style, and the image formats of the
# window icon (ICO) and the loading animations (GIF).
qt_plugins=(platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qico.dll
    imageformats/qgif.dll)

toolchain=${CC_WINDOWS_TOOLCHAIN:-$root/../shared/windows}
if [[ ! -f $toolchain/toolchain.cmake || ! -f $toolchain/wine-env.sh ]]; then
    echo "build-windows: no Windows cross toolchain in $toolchain" >&2
    echo "  (expected ../shared/windows beside the repository, or set CC_WINDOWS_TOOLCHAIN)" >&2
    exit 1
fi
toolchain=$(cd "$toolchain" && pwd)
if [[ $(id -u) -eq 0 ]]; then
    "$toolchain/install-toolchain.sh" >/dev/null
fi
command -v x86_64-w64-mingw32-objdump >/dev/null || {
    echo "build-windows: the toolchain is not installed; run $toolchain/install-toolchain.sh as root" >&2
    exit 1
}

build_dir=${1:-build-win}
shift || true
cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCC_BUILD_BENCHMARKS=OFF "$@"
cmake --build "$build_dir" -j"$(nproc)"
build_dir=$(cd "$build_dir" && pwd)

# The folders a DLL may come from: those that wine-env.sh puts on wine's search path.
# shellcheck source=/dev/null
source "$toolchain/wine-env.sh"
IFS=';' read -r -a wine_dirs <<<"$WINEPATH"
dll_dirs=()
for dir in "${wine_dirs[@]}"; do
    dir=${dir#Z:}
    dll_dirs+=("${dir//\\//}")
done
qt_plugin_dir=$(cd "${dll_dirs[0]}/../plugins" && pwd)

stage_root=$build_dir/package
stage=$stage_root/cameracontrol-win64
rm -rf "$stage_root"
mkdir -p "$stage"

find_dll() { # name -> path, or nothing for a DLL of Windows itself
    local dir
    for dir in "${dll_dirs[@]}"; do
        find "$dir" -maxdepth 1 -iname "$1" -print -quit 2>/dev/null
    done | head -n 1
}

# Copies every DLL that the file imports, directly or through another DLL, beside the programs.
add_imports() { # file
    local name path
    for name in $(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'); do
        [[ -e $stage/$name ]] && continue
        path=$(find_dll "$name")
        [[ -n $path ]] || continue
        cp "$path" "$stage/$name"
        add_imports "$stage/$name"
    done
}

for program in "${programs[@]}"; do
    exe=$(find "$build_dir" -path "$build_dir/tests" -prune -o -path "$stage_root" -prune -o \
        -name "$program.exe" -print -quit)
    if [[ -z $exe ]]; then
        echo "build-windows: $program.exe was not built; left out"
        continue
    fi
    cp "$exe" "$stage/"
    add_imports "$exe"
done
for plugin in "${qt_plugins[@]}"; do
    mkdir -p "$stage/$(dirname "$plugin")"
    cp "$qt_plugin_dir/$plugin" "$stage/$plugin"
    add_imports "$stage/$plugin"
done

# Symbols are no use on a user's PC: the runtime DLLs alone carry some 20 MB of them.
find "$stage" \( -name '*.dll' -o -name '*.exe' \) -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

# The programs carry their own qt.conf as a resource (which Qt prefers); this one serves a program
# without it, and names the same place: the plugin folders beside the programs.
printf '%s\r\n' "[Paths]" "Prefix = ." "Plugins = ." "" "[Platforms]" \
    "WindowsArguments = dpiawareness=2" >"$stage/qt.conf"

mkdir -p "$stage/licenses"
cp /opt/cc-win64/licenses/* "$stage/licenses/"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/mingw-w64-gcc-runtime-copyright"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licenses/mingw-w64-runtime-copyright"

zip=$build_dir/cameracontrol-win64.zip
rm -f "$zip"
(cd "$stage_root" && cmake -E tar cf "$zip" --format=zip cameracontrol-win64)
echo "$zip: $(du -h "$zip" | cut -f1), $(find "$stage" -type f | wc -l) files"
