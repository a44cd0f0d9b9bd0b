#!/usr/bin/env bash
# The Windows zip that make windows packed (build-win/demo-win64.zip) is the
# same bytes wherever it is packed: its entries sorted and all of one date;
# unpacked into two folders, the files written in opposite orders, and
# packed again under time zones 26 hours apart with that date as
# SOURCE_DATE_EPOCH, both are the build's zip byte for byte.
#   zip.sh ZIP
set -uo pipefail
zip=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
pack=$here/../../tools/windows/pack_zip.py
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$zip" ] || fail "no $zip: run make windows"

# name, date (UTC seconds), mode: one line per entry, in the zip's order.
entries() {
  python3 - "$1" <<'EOF'
import calendar, sys, zipfile
for i in zipfile.ZipFile(sys.argv[1]).infolist():
    print(i.filename, calendar.timegm(i.date_time + (0, 0, 0)), oct(i.external_attr >> 16), i.extra.hex() or "-")
EOF
}
# Unpacks ZIP into FOLDER, the files written in sorted or reverse order.
unpack() {
  python3 - "$@" <<'EOF'
import os, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
for i in sorted(z.infolist(), key=lambda i: i.filename, reverse=sys.argv[3] == "reverse"):
    path = os.path.join(sys.argv[2], i.filename)
    if i.is_dir():
        os.makedirs(path, exist_ok=True)
    else:
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(z.read(i))
EOF
}

entries "$zip" >"$work/entries" || fail "cannot read $zip"
cut -d' ' -f1 "$work/entries" >"$work/names"
sort -c "$work/names" 2>/dev/null || fail "the entries are not in sorted order: $(tr '\n' ' ' <"$work/names")"
grep -q '^demo-win64/demo.exe ' "$work/entries" || fail "no demo-win64/demo.exe in the zip"
[ "$(cut -d' ' -f2 "$work/entries" | sort -u | wc -l)" -eq 1 ] || fail "the entries have different dates: $(cat "$work/entries")"
grep -v ' -$' "$work/entries" && fail "entries with extra fields (owners, access times): as above"
epoch=$(head -n1 "$work/entries" | cut -d' ' -f2)

folder=$(head -n1 "$work/names")
folder=${folder%/}
for order in sorted:UTC reverse:Pacific/Kiritimati; do
  o=${order%%:*} tz=${order#*:}
  mkdir -p "$work/$o"
  unpack "$zip" "$work/$o" "$o" || fail "cannot unpack $zip"
  TZ=$tz SOURCE_DATE_EPOCH=$epoch python3 "$pack" "$work/$o.zip" "$work/$o" "$folder" || fail "pack_zip.py under TZ=$tz"
  cmp "$zip" "$work/$o.zip" || fail "packed again in $o order under TZ=$tz, the zip differs: $(diff <(entries "$zip") <(entries "$work/$o.zip"))"
done
echo "windows zip: $(wc -l <"$work/names") entries, sorted, dated $(date -u -d "@$epoch" '+%F %T') UTC, the same bytes packed again in either order under TZ=UTC and TZ=Pacific/Kiritimati"
