#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command (by default `make test`) on another Debian release, in a pristine root made with
# debootstrap: a fresh clone of this repository's HEAD, the image suites beside it as they lie
# beside this tree, no locale, no home, no session bus: what a new machine of that release has.
#
#   tools/release-root.sh RELEASE ROOT [COMMAND...]    e.g. tools/release-root.sh trixie /srv/trixie
#
# ROOT is made when missing and kept, so a second run skips debootstrap and the packages. The
# command runs in namespaces of its own: its mounts, processes and abstract sockets (X displays)
# never meet the host's, and every process it started ends with it. Needs root, debootstrap,
# unshare and ip. MIRROR names the archive (by default the one apt uses here). ROOT_NET=1 leaves
# the command the network (tools/debcheck.sh installs its tools); nothing else may then run
# displays on the host.
set -euo pipefail

run='env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb'

if [[ ${1:-} == --inside ]]; then # ROOT SUITES COMMAND...: in private mount and process namespaces
    root=$2 suites=$3
    shift 3
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/dev/shm"
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    [[ -d $suites ]] && mount --bind -o ro "$suites" "$root/src/shared/suites"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    # Packages with the network; then the command with loopback alone, so that its displays and
    # servers cannot meet the host's.
    chroot "$root" $run make -C /src/puzzle deps
    [[ ${ROOT_NET:-} == 1 ]] && exec "$0" --offline "$root" "$@"
    exec unshare --net "$0" --offline "$root" "$@"
fi
if [[ ${1:-} == --offline ]]; then # ROOT COMMAND...
    root=$2
    shift 2
    ip link set lo up 2>/dev/null || true
    exec chroot "$root" $run bash -c 'cd /src/puzzle && exec "$@"' - "$@"
fi

release=${1:?usage: $0 RELEASE ROOT [COMMAND...]}
root=$(realpath -m "${2:?usage: $0 RELEASE ROOT [COMMAND...]}")
shift 2
[[ $# -gt 0 ]] || set -- make test
top=$(cd "$(dirname "$0")/.." && pwd)
suites=$(realpath -m "${PUZZLE_SUITES:-$top/../shared/suites}")

mirror=${MIRROR:-$(sed -n 's|^URIs: *\([^ ]*/debian\)/*$|\1|p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1)}
mirror=${mirror:-http://deb.debian.org/debian}

if [[ ! -x $root/usr/bin/make ]]; then
    command -v debootstrap >/dev/null || { apt-get update -qq && apt-get install -y -qq debootstrap >/dev/null; }
    echo "debootstrap $release from $mirror into $root"
    mkdir -p "$(dirname "$root")"
    debootstrap --variant=minbase --include=git,make,ca-certificates "$release" "$root" "$mirror" \
        >"$root.debootstrap.log" 2>&1 || { tail -n 20 "$root.debootstrap.log" >&2; exit 1; }
fi
# unstable's index is valid for a week: a mirror's older copy is still the archive as it was.
if [[ $release == sid || $release == unstable ]]; then
    echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/90valid-until"
fi

# The tree as a clean clone has it: what is committed, nothing of this tree's builds.
rm -rf "$root/src"
mkdir -p "$root/src/shared/suites"
git clone -q --no-hardlinks "$top" "$root/src/puzzle"
exec unshare --mount --pid --fork --propagation private "$(realpath "$0")" --inside "$root" "$suites" "$@"
