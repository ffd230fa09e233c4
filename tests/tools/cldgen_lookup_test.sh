#!/usr/bin/env bash
# Checks the debug data built into a Windows executable against the
# toolchain's own line reader: 50 code addresses, spread over the program,
# that the line tables give to the repository's C++ files must come back
# from `cldgen lookup` with the file and line addr2line reports. Also checks
# that the shipped (stripped) file still carries the data.
#
#   cldgen_lookup_test.sh CLDGEN UNSTRIPPED.exe SHIPPED.exe OBJDUMP ADDR2LINE
#
# Addresses are taken where every line-table row at that address names one
# .cpp file: addr2line gives the compilation unit's own file, not the row's,
# for some code compiled into several units (inline functions of headers),
# and there the two would disagree for addr2line's sake. The end address of
# a sequence is left out too: it lies past the code (a row may still start
# there, empty), and addr2line answers for it from whatever comes next.
set -euo pipefail
[ $# -eq 5 ] || { echo "usage: $0 CLDGEN UNSTRIPPED.exe SHIPPED.exe OBJDUMP ADDR2LINE" >&2; exit 2; }
cldgen=$1 unstripped=$2 shipped=$3 objdump=$4 addr2line=$5
samples=50

mapfile -t candidates < <(
    "$objdump" --dwarf=decodedline "$unstripped" 2>/dev/null |
        awk 'NF >= 3 && $2 == "-" && $3 ~ /^0x[0-9a-f]+$/ { ended[$3] = 1 }
             NF >= 3 && $2 ~ /^[0-9]+$/ && $3 ~ /^0x[0-9a-f]+$/ {
                 if (!($3 in file)) { file[$3] = $1; order[n++] = $3 }
                 else if (file[$3] != $1) { file[$3] = "" }
             }
             END { for (i = 0; i < n; i++)
                       if (file[order[i]] ~ /\.cpp$/ && !(order[i] in ended)) print order[i] }' |
        sort -u)
if [ ${#candidates[@]} -lt $samples ]; then
    echo "FAIL: only ${#candidates[@]} addresses of .cpp files in $unstripped" >&2
    exit 1
fi
addresses=()
for ((i = 0; i < samples; i++)); do
    addresses+=("${candidates[$((i * ${#candidates[@]} / samples))]}")
done

mapfile -t expected < <("$addr2line" -e "$unstripped" "${addresses[@]}")
mapfile -t actual < <("$cldgen" lookup "$unstripped" "${addresses[@]}")
failures=0
for ((i = 0; i < samples; i++)); do
    line_info=${expected[$i]%% (discriminator*}
    want_line=${line_info##*:}
    want_file=$(realpath -m -s "${line_info%:*}")
    IFS=$'\t' read -r _ unit line _ <<<"${actual[$i]}"
    unit=${unit#.../}
    if [ "${line:-}" != "$want_line" ] || [[ "$want_file" != */"$unit" ]]; then
        echo "FAIL: ${addresses[$i]}: addr2line says $want_file:$want_line," \
            "the debug data ${actual[$i]}" >&2
        failures=$((failures + 1))
    fi
done

if ! dump=$("$cldgen" dump "$shipped") || ! grep -Eq '^units: [1-9]' <<<"$dump"; then
    echo "FAIL: $shipped carries no debug data" >&2
    failures=$((failures + 1))
fi
if "$objdump" -h "$shipped" | grep -q '\.debug_'; then
    echo "FAIL: $shipped is not stripped" >&2
    failures=$((failures + 1))
fi
[ $failures -eq 0 ] || exit 1
echo "$samples addresses agree with addr2line; $(basename "$shipped") carries the data"
