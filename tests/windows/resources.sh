#!/usr/bin/env bash
# quillon.exe carries its icon, at every size Explorer asks for, and its
# version, as Explorer's Properties read them.
set -euo pipefail
exe=$1 version=$2
listing=$(wrestool -l "$exe")
fail() { echo "FAIL: $*"; echo "$listing"; exit 1; }
grep -q 'type=group_icon' <<<"$listing" || fail "no icon group"
[ "$(grep -c 'type=icon ' <<<"$listing")" -ge 5 ] || fail "fewer than five icon sizes"
strings=$(wrestool -x --raw --type=version "$exe" | tr -d '\0' | strings)
for want in "ProductNameQuillon" "ProductVersion$version" "FileVersion$version" \
            "OriginalFilenamequillon.exe"; do
  grep -q "^$want" <<<"$strings" || fail "no $want in the version resource"
done
echo "icon and version $version present"
