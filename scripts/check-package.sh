#!/usr/bin/env bash
# Installs the package built by scripts/package.sh, runs the installed
# programs (not the build tree's), purges the package and checks that none of
# its files remain. Needs root or sudo; changes the machine's installed
# packages. Usage: scripts/check-package.sh [build/vantor_VERSION_ARCH.deb]
set -euo pipefail
cd "$(dirname "$0")/.."

deb="${1:-$(ls build/vantor_*.deb)}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
version=$(dpkg-deb -f "$deb" Version)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "./$deb" >/dev/null
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
