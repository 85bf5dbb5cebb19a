# Sourced by the set-up scripts: the one road to Debian's package lists and installs.
#   apt_update [APT-GET OPTIONS...]     refresh the lists (a mirror in mid-sync is survived)
#   apt_install [APT-GET OPTIONS...] -- PACKAGES...
#                                       install, after proving every package resolves
# A mirror caught in the middle of a sync serves an index whose size differs from what its
# Release file says; apt-get then ignores that index, keeps the old one (or none), and ends
# with status 100 although every other index is fresh. So a failed update is tried again a
# few times with a growing pause, and then accepted with one line naming what failed: the
# install that follows decides, since only a package that no list has is a real failure.
# SUDO (empty or "sudo") is prefixed to every apt-get call.
# TERVAGON_APT_PAUSES: the pauses in seconds between tries (the tests make them zero).

apt_pauses=(${TERVAGON_APT_PAUSES:-5 15 30})
# What the last apt_update could not fetch, one index per line; empty when it all came.
apt_update_complaint=""

# The failed indexes of an update's output, as "ADDRESS (REASON)" on one line each.
apt_failed_indexes() {
    sed -n 's/^[EW]: Failed to fetch \([^ ]*\) *\(.*\)$/\1 (\2)/p' | sed 's/ ()$//'
}

apt_update() {
    local output try=0 status
    while :; do
        status=0
        output=$(${SUDO:-} apt-get "$@" update -qq 2>&1) || status=$?
        # apt-get may also end with 0 and a warning that an index was ignored.
        apt_update_complaint=$(apt_failed_indexes <<<"$output")
        if [ "$status" -eq 0 ] && [ -z "$apt_update_complaint" ]; then
            return 0
        fi
        if [ "$try" -ge "${#apt_pauses[@]}" ]; then break; fi
        sleep "${apt_pauses[$try]}"
        try=$((try + 1))
    done
    if [ -z "$apt_update_complaint" ]; then
        # No index named: say what apt-get said last, on one line.
        apt_update_complaint=$(grep -m1 '^E:' <<<"$output" || printf '%s' "${output:-exit status $status}")
        apt_update_complaint=${apt_update_complaint#E: }
    fi
    echo "setup: apt-get update still failed after $((try + 1)) tries; going on with the package lists there are. Failed: $(paste -sd';' <<<"$apt_update_complaint" | sed 's/;/; /g')" >&2
    return 0
}

# apt_resolves PACKAGE [APT OPTIONS...]: whether apt has an installation candidate for
# the package (NAME or NAME:ARCH).
apt_resolves() {
    local package=$1 candidate; shift
    candidate=$(apt-cache "$@" policy "$package" 2>/dev/null | sed -n 's/^ *Candidate: *//p')
    [ -n "$candidate" ] && [ "$candidate" != "(none)" ]
}

# The last update's failed indexes on one line, for a message.
apt_complaint_line() {
    paste -sd';' <<<"$apt_update_complaint" | sed 's/;/; /g'
}

apt_install() {
    local options=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do options+=("$1"); shift; done
    [ "${1:-}" = "--" ] && shift
    local package because=""
    [ -z "$apt_update_complaint" ] || because="; apt-get update had failed for: $(apt_complaint_line)"
    for package in "$@"; do
        if ! apt_resolves "$package" "${options[@]}"; then
            echo "setup: can't install $package: the package lists have no candidate for it$because" >&2
            return 1
        fi
    done
    local simulated
    if ! simulated=$(apt-get "${options[@]}" install -s --no-install-recommends "$@" 2>&1); then
        # A stale index of one architecture (the i386 one of the security suite, say)
        # leaves that architecture's candidates behind the other's, and packages that
        # must be of one version on both can't be installed together. The release
        # suite's own indexes came whole, so its versions fit together.
        local release
        release=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
        if [ -n "$apt_update_complaint" ] && [ -n "$release" ] &&
           apt-get "${options[@]}" -t "$release" install -s --no-install-recommends "$@" >/dev/null 2>&1; then
            echo "setup: the package lists of the architectures are out of step after the failed update; installing from $release's release suite" >&2
            options+=(-t "$release")
        else
            echo "setup: apt-get can't install ${*}: $(grep -m1 '^E:' <<<"$simulated" | sed 's/^E: //')$because" >&2
            return 1
        fi
    fi
    ${SUDO:-} apt-get "${options[@]}" install -y -qq --no-install-recommends "$@" >/dev/null
}
