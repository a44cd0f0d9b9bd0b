#!/usr/bin/env bash
# The application manifest inside demo.exe, read out of the executable as
# Windows reads it: resource 1 of type 24 (RT_MANIFEST), well-formed XML,
# declaring per-monitor DPI awareness (V2, with the Windows 8.1 form beside
# it) and depending on Common Controls 6. Without the first, Windows at 125
# to 200 % display scaling reports the desktop in scaled units and stretches
# the demo's picture once more itself; without the second, the message boxes
# are SDL's unthemed fallback dialog.
#   manifest.sh DEMO.EXE
set -uo pipefail
exe=$1
fail() { echo "FAIL: $*"; exit 1; }
rc=$(x86_64-w64-mingw32-windres -i "$exe" -O rc) || fail "windres cannot read the resources of $exe"
# windres writes the resource as C strings, one a line, quotes doubled.
manifest=$(awk '$1 == "1" && $2 == "24" { on = 1; next } on && /^END/ { exit } on && /^  "/' <<<"$rc" |
  sed -e 's/^  "//' -e 's/\\n"$//' -e 's/"$//' -e 's/""/"/g')
[ -n "$manifest" ] || fail "no resource 1 of type 24 (RT_MANIFEST) in $exe: $(grep -c '^[0-9]' <<<"$rc") resources"
xmllint --noout - <<<"$manifest" || fail "the manifest is not well-formed XML"
query() {
  xmllint --xpath "string($1)" - <<<"$manifest" 2>/dev/null
}
settings="/*[local-name()='assembly' and namespace-uri()='urn:schemas-microsoft-com:asm.v1']/*[local-name()='application' and namespace-uri()='urn:schemas-microsoft-com:asm.v3']/*[local-name()='windowsSettings']"
aware=$(query "$settings/*[local-name()='dpiAware' and namespace-uri()='http://schemas.microsoft.com/SMI/2005/WindowsSettings']")
awareness=$(query "$settings/*[local-name()='dpiAwareness' and namespace-uri()='http://schemas.microsoft.com/SMI/2016/WindowsSettings']")
[ "$aware" = "true/pm" ] || fail "dpiAware is \"$aware\", not \"true/pm\""
[[ "$awareness" =~ ^PerMonitorV2(,|$) ]] || fail "dpiAwareness is \"$awareness\", not PerMonitorV2 first"
# Windows binds the dependency by name, version, key and architecture.
controls="/*[local-name()='assembly' and namespace-uri()='urn:schemas-microsoft-com:asm.v1']/*[local-name()='dependency']/*[local-name()='dependentAssembly']/*[local-name()='assemblyIdentity' and @name='Microsoft.Windows.Common-Controls']"
cc=$(query "concat($controls/@type, ' ', $controls/@version, ' ', $controls/@publicKeyToken, ' ', $controls/@processorArchitecture)")
[ "$cc" = "win32 6.0.0.0 6595b64144ccf1df *" ] || fail "no dependency on Common Controls 6 (win32, 6.0.0.0, its key, any architecture): \"$cc\""
echo "manifest: dpiAware $aware, dpiAwareness $awareness, Common Controls $cc"
