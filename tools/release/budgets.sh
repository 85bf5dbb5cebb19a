# shellcheck shell=bash
# The download budgets of a release, and a file's size shown against its budget.
# Sourced by tools/release.sh, tools/bench.sh and the release test:
#   . tools/release/budgets.sh
#   size_line LABEL FILE [BUDGET]   one line: the size, and its share of BUDGET (bytes);
#                                   status 1 when the file is larger than its budget
# Every visitor's browser downloads the CAB; the PE32 DLL is what it unpacks (and what
# the packages install). Both are measured as they ship: signed.
# shellcheck disable=SC2034  # read by the scripts that source this file
TERVAGON_BUDGET_DLL=200000
# shellcheck disable=SC2034
TERVAGON_BUDGET_CAB=100000

# 1234567 -> 1,234,567
with_commas() { printf '%s' "$1" | sed ':a; s/\B[0-9]\{3\}\>/,&/; ta'; }

size_line() {
    local label=$1 file=$2 budget=${3:-} size
    size=$(stat -c %s "$file")
    if [ -z "$budget" ]; then
        printf '  %-34s %10s bytes\n' "$label" "$(with_commas "$size")"
        return 0
    fi
    local verdict="within budget"
    [ "$size" -le "$budget" ] || verdict="OVER BUDGET"
    printf '  %-34s %10s bytes  budget %s (%d%%): %s\n' "$label" "$(with_commas "$size")" \
        "$(with_commas "$budget")" $((size * 100 / budget)) "$verdict"
    [ "$size" -le "$budget" ]
}
