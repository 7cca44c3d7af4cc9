# Power cuts on a loop-mounted XFS image, as fstests makes them: `xfs_io -x -c
# shutdown` drops all that has not reached the disk. Sourced; needs root.
PATH=$PATH:/usr/sbin:/sbin

# power_cut_mount <image> <mount point>: a fresh file system there, or why not.
power_cut_mount() {
    ((EUID == 0)) || { echo "it needs root (loop devices)"; return 1; }
    command -v mkfs.xfs >/dev/null && command -v xfs_io >/dev/null || { echo "xfsprogs is not installed"; return 1; }
    # 300 MiB is the smallest XFS mkfs.xfs makes; the file stays sparse.
    mkdir -p "$2" && truncate -s 320M "$1" && mkfs.xfs -q -f "$1" && mount -o loop "$1" "$2" 2>&1 \
        || { echo "no XFS image could be loop-mounted here"; return 1; }
}

# power_cut <image> <mount point> [command...]: the power goes; the command
# (ending what has files open there) runs in the dark; then, as after a
# reboot, the file system is mounted again.
power_cut() {
    xfs_io -x -c shutdown "$2" && "${@:3}" && umount "$2" && mount -o loop "$1" "$2"
}

power_cut_cleanup() { ! mountpoint -q "$2" || umount "$2"; rm -f "$1"; }

# whole_movie <file> <size>: what is wrong with it, unless it has that size
# and ffprobe reads every packet without an error.
whole_movie() {
    [[ -f $1 ]] || { echo "$1 is gone"; return 1; }
    (($(stat -c %s "$1") == $2)) || { echo "$1 has $(stat -c %s "$1") of its $2 bytes"; return 1; }
    local errors
    errors=$(ffprobe -v error -count_packets -show_entries stream=nb_read_packets "$1" 2>&1 >/dev/null) \
        && [[ -z $errors ]] || { echo "ffprobe on $1: $errors"; return 1; }
}
