#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The source package as a distribution takes it, as root on a disposable machine (CI):
#  1. dpkg-buildpackage as a normal user, HOME=/nonexistent, no network, every test run;
#     blhc on its log, lintian --pedantic on what it made, nothing of the tests left in /tmp;
#  2. a second build elsewhere: other folder, user, umask, locale, time zone, job count, and
#     without the tests; its .debs must be the same bytes (diffoscope shows a difference);
#  3. autopkgtest against the installed package.
# Usage: debcheck.sh WORK_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
WORK=$(realpath -m "${1:?usage: debcheck.sh WORK_DIR}")
rm -rf "$WORK"
mkdir -p "$WORK/a/puzzle" "$WORK/b/some/other/place/src"
copy() { tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$1"; }

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    build-essential blhc diffoscope-minimal autopkgtest >/dev/null
id builder >/dev/null 2>&1 || useradd --system --no-create-home --home-dir /nonexistent builder

copy "$WORK/a/puzzle"
chown -R builder: "$WORK/a"
before=$(find /tmp -mindepth 1 -maxdepth 1 -user builder | sort)
(cd "$WORK/a/puzzle" && unshare -n runuser -u builder -- env -i PATH=/usr/bin:/bin \
    HOME=/nonexistent DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -us -uc) \
    >"$WORK/a.log" 2>&1 || { tail -n 100 "$WORK/a.log"; echo "FAIL: the source package did not build"; exit 1; }
grep -E "tests passed|tests failed" "$WORK/a.log"
left=$(comm -13 <(echo "$before") <(find /tmp -mindepth 1 -maxdepth 1 -user builder | sort))
[[ -z $left ]] || { echo "FAIL: the tests left in /tmp: $left"; exit 1; }
blhc --all "$WORK/a.log"
lintian --pedantic --fail-on error,warning "$WORK"/a/puzzle_*.dsc "$WORK"/a/puzzle_*.changes
echo "ok source package: built as a user without network, tests passed, blhc and lintian clean"

copy "$WORK/b/some/other/place/src"
(cd "$WORK/b/some/other/place/src" && umask 002 && env TZ=Pacific/Kiritimati LC_ALL=C \
    DEB_BUILD_PROFILES=nocheck DEB_BUILD_OPTIONS="nocheck parallel=1" dpkg-buildpackage -us -uc -b) \
    >"$WORK/b.log" 2>&1 || { tail -n 50 "$WORK/b.log"; echo "FAIL: the second build failed"; exit 1; }
for deb in "$WORK"/a/*.deb; do
    other=$WORK/b/some/other/place/$(basename "$deb")
    if ! cmp -s "$deb" "$other"; then
        diffoscope --text - "$deb" "$other" | head -n 200 || true
        echo "FAIL: $(basename "$deb") differs between two builds"
        exit 1
    fi
    sha256sum "$deb"
done
echo "ok reproducible: two builds, the same .debs"

(cd "$WORK/a/puzzle" && autopkgtest --no-built-binaries "$WORK"/a/puzzle_[0-9]*.deb . -- null) \
    >"$WORK/autopkgtest.log" 2>&1 || { tail -n 60 "$WORK/autopkgtest.log"; echo "FAIL: autopkgtest"; exit 1; }
tail -n 3 "$WORK/autopkgtest.log"
apt-get purge -y -qq puzzle >/dev/null
echo "ok autopkgtest: the end-to-end checks pass against the installed game"
