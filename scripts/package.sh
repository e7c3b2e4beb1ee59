#!/usr/bin/env bash
# Builds the Debian package build/vantor_<version>_<arch>.deb in the build tree
# that scripts/test.sh uses, then checks it: lintian (no errors), the desktop
# entry and the AppStream metainfo.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh dpkg-dev lintian appstream help2man file desktop-file-utils
scripts/build.sh build -DQUILLON_BUILD_TESTS=ON -DQUILLON_BUILD_APP=ON -DQUILLON_BUILD_SIM=ON \
    -DCMAKE_INSTALL_PREFIX=/usr -DQUILLON_PACKAGE=ON
rm -f build/vantor_*.deb
(cd build && cpack -G DEB >cpack.log 2>&1) || { cat build/cpack.log; exit 1; }
deb=$(ls build/vantor_*.deb)

desktop-file-validate packaging/vantor.desktop
appstreamcli validate --no-net build/packaging/example.vantor.Vantor.metainfo.xml
lintian --fail-on error "$deb"
echo "$deb"
