#!/bin/sh
# Makes the download for Windows users, build/dist/morvane-<version>.zip:
#   x64/morvane.exe   the 64-bit program          README.txt   the user's guide (docs/user-guide.txt)
#   x86/morvane.exe   the 32-bit program          LICENSE      the MIT licence
#   SHA256SUMS        the SHA-256 of each of the four
# The same sources give the same zip, byte for byte: fixed file times (the last commit's, or
# SOURCE_DATE_EPOCH), names in a fixed order, no owner or extra attributes. The script checks it:
# it builds the programs twice, in the presets' build folders and in fresh ones, and fails unless
# both zips are identical.
set -eu
cd "$(dirname "$0")/.."
scripts/bootstrap.sh

version=$(sed -n 's/^project(Morvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 946684800)}
dist=build/dist
rm -rf "$dist/work"
mkdir -p "$dist/work"

# make_zip <folder> <64-bit build folder> <32-bit build folder>: the zip's files in the folder, and
# the zip beside them as <folder>.zip.
make_zip() {
    files=$1
    mkdir -p "$files/x64" "$files/x86"
    cp "$2/app/morvane.exe" "$files/x64/morvane.exe"
    cp "$3/app/morvane.exe" "$files/x86/morvane.exe"
    # Line ends for Windows' Notepad.
    sed "s/@VERSION@/$version/; s/\$/\r/" docs/user-guide.txt >"$files/README.txt"
    sed 's/$/\r/' LICENSE >"$files/LICENSE"
    (cd "$files" && sha256sum LICENSE README.txt x64/morvane.exe x86/morvane.exe >SHA256SUMS)
    chmod 644 "$files"/* "$files"/x64/* "$files"/x86/*
    find "$files" -exec touch -h -d "@$epoch" {} +
    rm -f "$files.zip"
    (cd "$files" && TZ=UTC zip -X -D -9 -q "../$(basename "$files").zip" \
        LICENSE README.txt SHA256SUMS x64/morvane.exe x86/morvane.exe)
}

echo "package: building morvane.exe for x64 and x86"
for preset in windows windows-x86; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target morvane >/dev/null
done
make_zip "$dist/work/first" build/windows build/windows-x86

echo "package: building both again in fresh build folders"
for arch in x86_64 i686; do
    cmake -S . -B "$dist/work/build-$arch" -G Ninja --toolchain "cmake/mingw-w64-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$dist/work/build-$arch" --target morvane >/dev/null
done
make_zip "$dist/work/second" "$dist/work/build-x86_64" "$dist/work/build-i686"

if ! cmp "$dist/work/first.zip" "$dist/work/second.zip"; then
    echo "package: the two builds gave different zips" >&2
    (cd "$dist/work" && sha256sum first/*/* first/* second/*/* second/* 2>/dev/null) >&2
    exit 1
fi
zip="$dist/morvane-$version.zip"
cp "$dist/work/first.zip" "$zip"
rm -rf "$dist/work"
echo "package: $zip, $(stat -c %s "$zip") bytes, the same from both builds"
echo "package: sha256 $(sha256sum "$zip" | cut -d' ' -f1)"
