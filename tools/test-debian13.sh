#!/bin/sh
# `make test-debian13`: the CI build (Release, warnings as errors) and every
# test inside a Debian 13 ("trixie") root, which has g++ 14 and FFmpeg 7.1.
# debootstrap makes the root once under the build folder; later runs reuse it.
# Each run brings the working tree in (without .git and the build folders) and
# runs `make test` there, whose deps step installs the packages inside the
# root. The root's own build/ is kept, so a second run builds only what
# changed: rsync compares contents and rewrites only the files that differ,
# which take the time of the copy, so no edit can look older than the objects
# built from the file before it. /proc and /dev are mounted in a mount
# namespace of this run only (with the pseudo-terminals the console tests open), so they are gone when it ends, however it ends.
#
# Usage: test-debian13.sh BUILD_FOLDER JOBS (as root, or through sudo)
set -eu
build=${1:-build}
jobs=${2:-2}
suite=trixie
src=$(pwd)
mkdir -p "$build"
root="$(cd "$build" && pwd)/debian13-root"
# An empty mirror leaves the choice to debootstrap (Debian's own).
mirror=${DEBIAN13_MIRROR:-}

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

missing=""
for p in debootstrap rsync; do
  dpkg-query -W -f='${Status}' $p 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing missing packages:$missing"
  $sudo apt-get -o DPkg::Lock::Timeout=600 update
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y $missing
fi

if [ ! -x "$root/usr/bin/make" ]; then
  # Made under another name and renamed when complete, so a run cut short
  # never leaves a root that looks ready.
  echo "Making the Debian 13 root in $root"
  $sudo rm -rf "$root.partial"
  $sudo /usr/sbin/debootstrap --variant=minbase --include=make "$suite" "$root.partial" $mirror
  # No service starts inside the root while packages are installed.
  printf '#!/bin/sh\nexit 101\n' | $sudo tee "$root.partial/usr/sbin/policy-rc.d" >/dev/null
  $sudo chmod 755 "$root.partial/usr/sbin/policy-rc.d"
  $sudo rm -rf "$root"
  $sudo mv "$root.partial" "$root"
fi

tree="$root/root/vantrel"
echo "Copying the tree to $tree"
$sudo rsync --recursive --links --checksum --delete --exclude=/.git --exclude='/build*' \
  "$src/" "$tree/"
if [ -e /etc/resolv.conf ]; then $sudo cp -L /etc/resolv.conf "$root/etc/resolv.conf"; fi

# The mounts live in this namespace only: when the shell ends they go with it.
$sudo unshare --mount --propagation private sh -eu -c '
  root=$1 jobs=$2
  mount -t proc proc "$root/proc"
  mount --bind /dev "$root/dev"
  mount --bind /dev/pts "$root/dev/pts"
  exec chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    sh -c "cd /root/vantrel && make test BUILD_TYPE=Release WERROR=ON JOBS=$jobs"
' sh "$root" "$jobs"
