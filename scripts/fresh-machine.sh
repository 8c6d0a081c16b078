#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a copy of this project inside a minimal Debian 12 root file system
# (debootstrap's minbase: no git, sudo, compiler, Python, Qt or X server), as root, the
# way a brand-new machine would run it. It proves that the project's own set-up installs
# everything its commands use.
#
#   scripts/fresh-machine.sh 'COMMAND'
#   scripts/fresh-machine.sh 'bash scripts/install-deps.sh --test && cmake --workflow --preset default'
#
# Needs root. The first run builds the minimal root with debootstrap (installed if
# missing), from this machine's Debian mirror, and keeps it in $FRESH_ROOT_CACHE
# (default /var/tmp/quemador1-fresh-root); every run works on a throw-away copy of it,
# with the project copied in without its build/ folder. Prints the command's output
# and exits with its status.
set -euo pipefail
command=${1:?usage: scripts/fresh-machine.sh 'COMMAND'}
project=$(cd "$(dirname "$0")/.." && pwd)
cache=${FRESH_ROOT_CACHE:-/var/tmp/quemador1-fresh-root}

[ "$(id -u)" -eq 0 ] || { echo "fresh-machine: run as root" >&2; exit 2; }

# The first Debian mirror that apt on this machine uses (deb822 sources or a classic list).
mirror() {
  local uri
  uri=$(sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources 2>/dev/null |
    tr ' ' '\n' | grep -v security | head -n 1 || true)
  [ -n "$uri" ] || uri=$(awk '$1 == "deb" { print $2; exit }' /etc/apt/sources.list 2>/dev/null || true)
  echo "${uri:-http://deb.debian.org/debian}"
}

if [ ! -x "$cache/usr/bin/apt-get" ]; then
  if ! command -v debootstrap >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
  fi
  echo "fresh-machine: building a minimal Debian 12 root in $cache (a few minutes)" >&2
  rm -rf "$cache.partial"
  debootstrap --variant=minbase bookworm "$cache.partial" "$(mirror)" >"$cache.log" 2>&1 ||
    { echo "fresh-machine: debootstrap failed; see $cache.log" >&2; exit 1; }
  # The same package sources as this machine, so that apt finds what it finds here.
  if compgen -G '/etc/apt/sources.list.d/*.sources' >/dev/null; then
    cp /etc/apt/sources.list.d/*.sources "$cache.partial/etc/apt/sources.list.d/"
    rm -f "$cache.partial/etc/apt/sources.list"
  fi
  mv "$cache.partial" "$cache"
fi

root=$(mktemp -d /var/tmp/quemador1-fresh.XXXXXX)
mounted=()
finish() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -R "${mounted[i]}" 2>/dev/null || umount -lR "${mounted[i]}" 2>/dev/null || true
  done
  rm -rf --one-file-system "$root"
}
trap finish EXIT

cp -a "$cache/." "$root/"
mkdir -p "$root/root/project"
tar -C "$project" --exclude=./build -cf - . | tar -C "$root/root/project" -xf -
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
for fs in sys dev; do
  mount --rbind "/$fs" "$root/$fs" && mount --make-rslave "$root/$fs" && mounted+=("$root/$fs")
done

# The certificates this machine trusts for node (npm's registry behind its proxy, say),
# as a new machine of its kind trusts them.
trust=()
if [ -n "${NODE_EXTRA_CA_CERTS:-}" ] && [ -f "$NODE_EXTRA_CA_CERTS" ]; then
  cp "$NODE_EXTRA_CA_CERTS" "$root/root/extra-ca-certificates.crt"
  trust=(NODE_EXTRA_CA_CERTS=/root/extra-ca-certificates.crt)
fi

status=0
chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash TERM=dumb \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "${trust[@]}" \
  /bin/bash -c "cd /root/project && $command" </dev/null || status=$?
exit "$status"
