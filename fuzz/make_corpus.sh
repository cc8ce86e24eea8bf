#!/usr/bin/env bash
# Writes the seed corpora under fuzz/corpus/ with the sample-image maker:
# small images of every variant, cut at each header field of the main-code
# block, and with extents of 0, of exactly the bytes left, one more, and
# 0xFFFFFFFF. Run after changing the maker; the output is deterministic.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset native >/dev/null
cmake --build --preset native --target make_sample_image -j 2 >/dev/null
maker=build/native/tools/make_sample_image
size=8192   # the maker's smallest image: keeps the seeds and the inputs small

image_dir=fuzz/corpus/fuzz_image
cli_dir=fuzz/corpus/fuzz_cli
rm -rf "$image_dir" "$cli_dir"
mkdir -p "$image_dir" "$cli_dir"

# Offset of a block in the plan that --list prints.
offset_of() { echo $(( $("$maker" --model "$1" --size $size --list | awk -v n="$2" '$1 == n { print $2 }') )); }

for model in B DVR C; do
    case $model in B) main=maincode ;; DVR) main=maincodeB ;; C) main=maincodeC ;; esac
    tag=$(echo "$model" | tr 'A-Z' 'a-z')
    "$maker" --model $model --size $size "$image_dir/$tag-whole.bin"
    main_at=$(offset_of $model $main)
    # Cut inside the main-code header: at the id, extent, variant byte, version and date.
    for cut in 0 4 8 10 12 24 25 32 40 48 56 63 64; do
        "$maker" --model $model --size $size --truncate $((main_at + cut)) "$image_dir/$tag-cut-main-$cut.bin"
    done
    cas_at=$(offset_of $model CAS_data)
    left=$((size - cas_at))
    for extent in 0 $left $((left + 1)) 0xFFFFFFFF; do
        "$maker" --model $model --size $size --extent CAS_data=$extent "$image_dir/$tag-extent-$extent.bin"
    done
    "$maker" --model $model --size $size --duplicate ScriptGUI "$image_dir/$tag-duplicate.bin"
    "$maker" --model $model --size $size --variant-byte 0x62 "$image_dir/$tag-variant-b.bin"
done
# A block header in the last bytes of the image: the extent field runs off the end.
"$maker" --model C --size $size --duplicate userdb --truncate $((size - 2 * size / 64 + 10)) "$image_dir/c-header-at-end.bin"

# Inputs that once failed a check of the targets themselves (an empty block
# compared through a null pointer; an option value inside its argument).
echo AAAAAOMAABAAAAAAAAAAAAAAEeMAABA= | base64 -d > "$image_dir/regress-zero-extent-block.bin"

# Argument vectors, NUL-separated; the parser sees them after the program name.
args() { local name=$1; shift; printf '%s\0' "$@" | head -c -1 > "$cli_dir/$name"; }
args info info samples/ali3329b.bin
args info-json info --json image.bin
args json-first --json info image.bin
args extract extract image.bin bootloader maincode
args extract-dir extract -o out image.bin logo_radio
args extract-all extract --all -o out image.bin
args dashdash extract image.bin -- -odd-name
args help --help
args help-extract extract --help
args version --version
args unknown frobnicate --no-such-option
echo ZXh0cmFjdAAtLW91dHB1dD1vZGQtbmFtlACSAFsBAQBl | base64 -d > "$cli_dir/regress-output-equals"
cp "$image_dir/b-whole.bin" "$cli_dir/image-b.bin"
echo "wrote $(ls "$image_dir" | wc -l) image seeds and $(ls "$cli_dir" | wc -l) argument seeds"
