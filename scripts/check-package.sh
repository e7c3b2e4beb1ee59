#!/usr/bin/env bash
# Installs the package built by scripts/package.sh, runs the installed
# programs (not the build tree's), purges the package and checks that none of
# its files remain. Needs root or sudo; changes the machine's installed
# packages, and purges the package again however the check ends.
# Usage: scripts/check-package.sh [PACKAGE.deb]
# PACKAGE.deb is any path, relative to the current folder or absolute; without
# it, the newest build/vantor_*.deb of this tree is checked.
set -euo pipefail

if [ $# -gt 1 ]; then
    echo "usage: scripts/check-package.sh [PACKAGE.deb]" >&2
    exit 2
fi
if [ $# -eq 1 ]; then
    # Read from the caller's folder, before anything changes it.
    if [ ! -f "$1" ]; then
        echo "$1: no such package file" >&2
        exit 2
    fi
    deb=$(realpath -- "$1")
fi
cd "$(dirname "$0")/.."
if [ $# -eq 0 ]; then
    shopt -s nullglob
    debs=(build/vantor_*.deb)
    shopt -u nullglob
    if [ ${#debs[@]} -eq 0 ]; then
        echo "no build/vantor_*.deb: build one with scripts/package.sh" >&2
        exit 2
    fi
    deb=${debs[0]}
    for candidate in "${debs[@]}"; do
        if [ "$candidate" -nt "$deb" ]; then
            deb=$candidate
        fi
    done
    if [ ${#debs[@]} -gt 1 ]; then
        echo "${#debs[@]} packages in build/; checking the newest, $deb" >&2
    fi
    deb=$(realpath -- "$deb")
fi

package=$(dpkg-deb -f "$deb" Package)
version=$(dpkg-deb -f "$deb" Version)
if [ "$package" != "vantor" ]; then
    echo "$deb is the package $package, not vantor" >&2
    exit 2
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
scratch=$(mktemp -d)
installed=0
# However the check ends (a failed step, an interrupt, a closed output), the
# package goes.
# Its messages may have nowhere to go: they must not stop the purge.
finish() {
    local status=$?
    set +e
    trap '' PIPE
    if [ $installed -eq 1 ]; then
        echo "purging vantor" >&2
        if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq vantor \
            >"$scratch/purge" 2>&1; then
            cat "$scratch/purge" >&2
            echo "could not purge vantor" >&2
            status=1
        fi
    fi
    rm -rf "$scratch"
    exit $status
}
trap finish EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 141' PIPE
trap 'exit 143' TERM

# Marked first: an install that fails halfway can leave the package unpacked.
installed=1
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >/dev/null
dpkg-query -L vantor >"$scratch/files"

# From a neutral folder, with the library path of the build tree out of reach.
cd "$scratch"
unset LD_LIBRARY_PATH
export QT_QPA_PLATFORM=offscreen
check() {
    echo "$1" >&2
    shift
    "$@" >"$scratch/said" 2>&1 || { cat "$scratch/said"; echo "failed: $*" >&2; exit 1; }
}
check "installed Vantor --version" /usr/bin/Vantor --version
grep -qx "Pelmar Interface $version" "$scratch/said" || { cat "$scratch/said"; exit 1; }
check "installed vantor-sim --version" /usr/bin/vantor-sim --version
grep -qx "vantor-sim $version" "$scratch/said" || { cat "$scratch/said"; exit 1; }
check "installed vantor-sim --help" /usr/bin/vantor-sim --help
check "man pages" gzip -t /usr/share/man/man1/Vantor.1.gz /usr/share/man/man1/vantor-sim.1.gz
check "five seconds recorded" /usr/bin/Vantor --simulate --record run.sqlite --quit-after 5000
check "exported as CSV" /usr/bin/Vantor --export-csv run.sqlite run.csv
rows=$(wc -l <run.csv)
[ "$rows" -gt 10 ] || { echo "run.csv holds only $rows lines" >&2; exit 1; }
echo "recorded $(stat -c %s run.sqlite) bytes, exported $rows CSV lines" >&2
cd - >/dev/null

DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq vantor >/dev/null
installed=0
# Every file is gone, and every folder either gone or another package's.
left=0
while read -r path; do
    [ -e "$path" ] || [ -L "$path" ] || continue
    if [ -d "$path" ] && [ ! -L "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1; then
        continue
    fi
    echo "left behind: $path" >&2
    left=1
done <"$scratch/files"
[ $left -eq 0 ]
echo "installed, ran and purged $deb"
