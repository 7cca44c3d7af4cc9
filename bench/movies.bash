# Sourced by the batch and window benchmarks: bench_movie <copy|encode> <seconds>
# prints the path of a generated 1080p movie, made on first use and kept in
# build/bench-movies (the same movies bench/convert-benchmark makes): H.264
# yuv420p with AAC for the copy path, ProRes proxy with PCM for the encoding path.
bench_movie() {
    local kind=$1 seconds=$2 folder file
    folder=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/bench-movies
    mkdir -p "$folder"
    local video
    if [[ $kind == copy ]]; then
        file=$folder/h264-1080p-${seconds}s.mov
        video=(-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac)
    else
        file=$folder/prores-1080p-${seconds}s.mov
        video=(-c:v prores_ks -profile:v proxy -c:a pcm_s16le)
    fi
    if [[ ! -f $file ]]; then
        echo "Generating $(basename "$file")..." >&2
        # Written aside and renamed, so an interrupted run leaves no truncated movie.
        /usr/bin/ffmpeg -hide_banner -loglevel error -nostdin -y \
            -f lavfi -i "testsrc2=size=1920x1080:rate=25:duration=$seconds" \
            -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
            -map 0:v -map 1:a "${video[@]}" -shortest -f mov "$file.part"
        mv "$file.part" "$file"
    fi
    echo "$file"
}

# median <numbers...>
median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 }
        END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
