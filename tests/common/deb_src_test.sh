#!/usr/bin/env bash
# The deb-src entries tools/common/deb-src.sh derives for apt-get source, from
# a one-line sources.list (with options, a comment, a CD-ROM, a deb-src
# already there) and from deb822 .sources files (a key given inline, a
# stanza switched off, one that has its deb-src), each kept in its own form
# with its URIs, suites, components and keyring.
set -uo pipefail
source "$(dirname "$0")/../../tools/common/deb-src.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
etc=$work/etc
mkdir -p "$etc/sources.list.d"

# A machine with the one-line form only: nothing in sources.list.d.
cat >"$etc/sources.list" <<'EOF'
# deb http://old.example/debian buster main
deb http://deb.debian.org/debian bookworm main contrib  # the main archive
	deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg arch=amd64] http://deb.debian.org/debian-security bookworm-security main
deb-src http://deb.debian.org/debian bookworm main
deb cdrom:[Debian GNU/Linux 12.5.0 _Bookworm_]/ bookworm main
EOF
expected='deb-src http://deb.debian.org/debian bookworm main contrib
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg arch=amd64] http://deb.debian.org/debian-security bookworm-security main'
[ "$(deb_src_list "$etc")" = "$expected" ] || fail "from sources.list: $(deb_src_list "$etc")"
[ -z "$(deb_src_sources "$etc")" ] || fail "deb822 stanzas from no .sources file: $(deb_src_sources "$etc")"

# And the deb822 form, as Debian 12 installs it, beside it.
rm "$etc/sources.list"
cat >"$etc/sources.list.d/debian.sources" <<'EOF'
Types: deb
# a mirror
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
cat >"$etc/sources.list.d/more.sources" <<'EOF'
Types: deb
URIs: https://off.example/apt
Suites: stable
Components: main
Enabled: no

types: deb deb-src
URIs: https://both.example/apt
Suites: stable
Components: main

Types:   deb
URIs: https://inline.example/apt
Suites: stable
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mDMEZ
 -----END PGP PUBLIC KEY BLOCK-----
EOF
expected='Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: https://inline.example/apt
Suites: stable
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mDMEZ
 -----END PGP PUBLIC KEY BLOCK-----'
[ "$(deb_src_sources "$etc")" = "$expected" ] || fail "from .sources: $(diff <(echo "$expected") <(deb_src_sources "$etc"))"
[ -z "$(deb_src_list "$etc")" ] || fail "one-line entries from no sources.list: $(deb_src_list "$etc")"
# Whether apt knows a source, asked under pipefail as the build scripts ask:
# a long answer (several versions) must not end in SIGPIPE and read as no.
mkdir -p "$work/bin"
cat >"$work/bin/apt-cache" <<'EOF'
#!/bin/sh
[ "$2" = known ] || exit 0
echo "Package: known"; echo "Version: 1.0-1"; seq 1 20000 | sed 's/^/ /'
EOF
chmod +x "$work/bin/apt-cache"
PATH=$work/bin:$PATH has_source known || fail "a known source read as unknown"
! PATH=$work/bin:$PATH has_source unknown || fail "an unknown source read as known"
echo "deb-src: derived from one-line and deb822 sources; a long answer from apt-cache read whole"
