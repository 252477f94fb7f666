#!/bin/sh
# morvane.exe is fit for Windows 7 SP1 and later, read from the file itself:
#   - every function it imports is one that Windows 7 SP1 has: it is in windows7_imports.txt, the
#     reviewed list of the program's imports, each checked against its documented minimum Windows.
#     A new import fails here until it has been reviewed and added;
#   - its headers ask for Windows 6.1 (subsystem and operating system version);
#   - its manifest names Windows 7 among the supported systems and the build's processor.
# windows7_test.sh <objdump> <morvane.exe> <windows7_imports.txt> <amd64|x86>
set -eu
objdump=$1 exe=$2 allowed=$3 architecture=$4
failed=0
fail() {
    echo "windows7_test: $*" >&2
    failed=1
}

headers=$("$objdump" -p "$exe")

# "dll function" for each import, the DLL's name in lower case.
imports=$(printf '%s\n' "$headers" | awk -F'\t' '
    /DLL Name:/ { split($2, name, ": "); dll = tolower(name[2]); next }
    /^$/ { dll = "" }
    dll != "" && NF == 3 && $3 ~ /^ *[0-9]+  / { function_name = $3; sub(/^ *[0-9]+  /, "", function_name); print dll, function_name }')
[ -n "$imports" ] || fail "no imports read from $exe"
unknown=$(printf '%s\n' "$imports" | sort -u | grep -v '^#' | grep -vxF -f "$allowed" || true)
if [ -n "$unknown" ]; then
    fail "imports not reviewed for Windows 7 SP1 (check each one's minimum Windows, then add it to $allowed):"
    printf '%s\n' "$unknown" | sed 's/^/    /' >&2
fi

for field in MajorSubsystemVersion:6 MinorSubsystemVersion:1 MajorOSystemVersion:6 MinorOSystemVersion:1; do
    name=${field%:*} expected=${field#*:}
    actual=$(printf '%s\n' "$headers" | awk -v name="$name" '$1 == name { print $2 }')
    [ "$actual" = "$expected" ] || fail "$name is '$actual', expected $expected"
done

# The manifest is UTF-8 text among the resources.
manifest=$(tr -c '[:print:]\n' '\n' <"$exe" | sed -n '/<assembly /,/<\/assembly>/p')
printf '%s\n' "$manifest" | grep -q "name=\"Morvane\".*processorArchitecture=\"$architecture\"" ||
    fail "the manifest does not name the processor $architecture"
for os in 35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 \
    1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
    printf '%s\n' "$manifest" | grep -qi "supportedOS Id=\"{$os}\"" || fail "the manifest lacks supportedOS {$os}"
done

[ $failed = 0 ] && echo "windows7_test: $(printf '%s\n' "$imports" | wc -l) imports reviewed, headers 6.1, manifest for $architecture"
exit $failed
