# deb-src.sh -- sourced by tools/windows/build-deps.sh and
# tools/web/build-deps.sh: apt must know the source packages of the archive
# this machine installs from, so that `apt-get source` fetches Debian's own
# sources of the libraries they build.
#
#   has_source PACKAGE       whether apt knows a source of PACKAGE
#   ensure_deb_src PACKAGE   when apt knows no source of PACKAGE, adds a
#                            deb-src entry beside every deb entry and runs
#                            apt-get update (as root, or through sudo)
#   deb_src_list ETC         the deb-src lines for the one-line deb lines of
#                            ETC/sources.list and ETC/sources.list.d/*.list
#   deb_src_sources ETC      the deb-src stanzas for the deb822 stanzas of
#                            ETC/sources.list.d/*.sources
# An entry keeps its URIs, suites, components and options (Signed-By above
# all, so that the sources are checked against the same keyring). Entries
# switched off (Enabled: no), CD-ROMs and entries that already come with
# their deb-src are left out.

deb_src_list() {
  local etc=$1 f
  for f in "$etc/sources.list" "$etc"/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    # deb [options] URI suite [component...]; a '#' begins a comment.
    awk '{ sub(/#.*/, "") } $1 == "deb" && !/ cdrom:/ { sub(/^[ \t]*deb/, "deb-src"); sub(/[ \t]+$/, ""); print }' "$f"
  done
}

deb_src_sources() {
  local etc=$1 f
  for f in "$etc"/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # One stanza a paragraph; a field goes on over lines that begin with a
    # space (a key given inline in Signed-By).
    awk 'BEGIN { RS = ""; FS = "\n" }
      {
        types = ""; enabled = 1; out = ""
        for (i = 1; i <= NF; i++) {
          line = $i
          if (line ~ /^#/) continue
          if (tolower(line) ~ /^types:/) { types = " " substr(line, 7) " "; continue }
          if (tolower(line) ~ /^enabled:[ \t]*no[ \t]*$/) enabled = 0
          out = out line "\n"
        }
        gsub(/[ \t]+/, " ", types)
        if (enabled && types ~ / deb / && types !~ / deb-src /) printf "Types: deb-src\n%s\n", out
      }' "$f"
  done
}

# Whether apt knows a source of PACKAGE. grep reads all of apt-cache's
# output: with -q it would stop at the first line, and apt-cache, cut off,
# would fail the pipe under pipefail (the callers' set -o pipefail).
has_source() { apt-cache showsrc "$1" 2>/dev/null | grep '^Version:' >/dev/null; }

ensure_deb_src() {
  if has_source "$1"; then return 0; fi
  local as_root=() etc=/etc/apt lines stanzas
  [ "$(id -u)" -ne 0 ] && as_root=(sudo)
  lines=$(deb_src_list "$etc")
  stanzas=$(deb_src_sources "$etc")
  if [ -z "$lines$stanzas" ]; then
    echo "no deb entry in $etc/sources.list or $etc/sources.list.d/ to derive a deb-src entry from" >&2
    return 1
  fi
  echo "Adding deb-src entries for Debian's source packages to $etc/sources.list.d/"
  if [ -n "$lines" ]; then
    printf '%s\n' "$lines" | "${as_root[@]}" tee "$etc/sources.list.d/debian-src.list" >/dev/null || return 1
  fi
  if [ -n "$stanzas" ]; then
    printf '%s\n' "$stanzas" | "${as_root[@]}" tee "$etc/sources.list.d/debian-src.sources" >/dev/null || return 1
  fi
  "${as_root[@]}" apt-get update -qq || return 1
  has_source "$1" || { echo "apt still knows no source of $1" >&2; return 1; }
}
