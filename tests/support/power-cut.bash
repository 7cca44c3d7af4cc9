# Power cuts on a loop-mounted XFS image, as fstests makes them: `xfs_io -x -c
# shutdown` drops everything that has not reached the disk. Sourced by the
# checks that an MP4 reported done survives one; they need root.
PATH=$PATH:/usr/sbin:/sbin

# power_cut_mount <image> <mount point>: a fresh file system there. Prints why
# not and fails where this machine cannot (no root, loop devices or xfsprogs).
power_cut_mount() {
    local tool
    ((EUID == 0)) || { echo "it needs root (loop devices)"; return 1; }
    for tool in mkfs.xfs xfs_io losetup; do
        command -v "$tool" >/dev/null || { echo "$tool is not installed (script/setup installs it)"; return 1; }
    done
    mkdir -p "$2"
    # 300 MiB is the smallest XFS mkfs.xfs makes; the file stays sparse.
    truncate -s 320M "$1" && mkfs.xfs -q -f "$1" 2>&1 && mount -o loop "$1" "$2" 2>&1 \
        || { echo "no XFS image could be loop-mounted here"; return 1; }
}

# power_cut <image> <mount point> [command...]: the power goes at once; the
# command (ending what still has files open there) runs in the dark, then the
# file system is mounted again, as after a reboot.
power_cut() {
    local image=$1 mountpoint=$2
    shift 2
    xfs_io -x -c shutdown "$mountpoint"
    (($# == 0)) || "$@"
    umount "$mountpoint"
    mount -o loop "$image" "$mountpoint"
}

# power_cut_cleanup <image> <mount point>
power_cut_cleanup() {
    mountpoint -q "$2" 2>/dev/null && umount "$2"
    rm -f "$1"
}

# whole_movie <file> <size>: prints what is wrong with the MP4 at <file>
# unless it has <size> bytes and ffprobe reads every packet without an error.
whole_movie() {
    [[ -f $1 ]] || { echo "$1 is gone"; return 1; }
    local size errors
    size=$(stat -c %s "$1")
    ((size == $2)) || { echo "$1 has $size of its $2 bytes"; return 1; }
    errors=$(ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$1" 2>&1 >/dev/null)
    [[ -z $errors ]] || { echo "ffprobe on $1: $errors"; return 1; }
}
