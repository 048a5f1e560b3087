#!/usr/bin/env bash
# Builds the Debian packages of BUILD_DIR and installs them on this machine, then removes them:
#   package_test.sh BUILD_DIR
# Root only (exit 77, skipped, otherwise), and never over an installation already there. Checks
# what an administrator relies on: the programs answer, the service account and program
# directory exist, libqorcom's servers are in the machine's registry where an unprivileged
# account finds them, and removal takes them out again. Everything the test changed is put
# back on exit, whatever happened.
set -euo pipefail
build=$(cd "$1" && pwd)
packages=(tidewell-tools tidewell libqorcom)

if [[ $(id -u) -ne 0 ]]; then
    echo "skipped: installing packages needs root"
    exit 77
fi
for package in "${packages[@]}"; do
    if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed; then
        echo "skipped: $package is installed on this machine; the test will not replace it"
        exit 77
    fi
done

registry=/etc/comlite/registry.reg
work=$(mktemp -d)
had_user=no; getent passwd tidewell >/dev/null && had_user=yes
had_group=no; getent group tidewell >/dev/null && had_group=yes
had_home=no; [[ -e /var/lib/tidewell ]] && had_home=yes
had_etc=no; [[ -e /etc/comlite ]] && had_etc=yes
had_registry=no
if [[ -e $registry ]]; then had_registry=yes; cp -p "$registry" "$work/registry.saved"; fi

restore() {
    set +e
    dpkg --purge "${packages[@]}" >/dev/null 2>&1
    [[ $had_user == no ]] && userdel tidewell 2>/dev/null
    [[ $had_group == no ]] && groupdel tidewell 2>/dev/null
    [[ $had_home == no ]] && rm -rf /var/lib/tidewell
    if [[ $had_registry == yes ]]; then
        cp -p "$work/registry.saved" "$registry"
    else
        rm -f "$registry"
    fi
    [[ $had_etc == no ]] && rm -rf /etc/comlite
    rm -rf "$work"
}
trap restore EXIT

failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

# A sanitizer build is packaged as it is: its leak report at exit (run by dpkg and by other
# accounts, without our suppressions file) is for the unit tests, not for this one.
export ASAN_OPTIONS=detect_leaks=0
unset LSAN_OPTIONS COMLITE_REGISTRY

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/out" \
    -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log"
    exit 1
}
debs=("$work"/out/*.deb)
check "three packages built (${debs[*]##*/})" test ${#debs[@]} -eq 3
for deb in "${debs[@]}"; do
    dpkg-deb --field "$deb" Package Depends | sed "s|^|  ${deb##*/}: |"
done

dpkg -i "${debs[@]}" >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }

check "tidewell --help answers" bash -c '/usr/bin/tidewell --help | grep -q "^Usage: tidewell"'
check "every program answers --version" bash -c \
    'for p in tidewell ravelin qorregsvr qorauto possim; do /usr/bin/$p --version || exit 1; done'
check "manual pages installed" test -f /usr/share/man/man1/tidewell.1.gz -a \
    -f /usr/share/man/man1/qorregsvr.1.gz -a -f /usr/share/man/man1/possim.1.gz
check "timer units installed" test -f /usr/lib/systemd/system/tidewell-poll@.service -a \
    -f /usr/lib/systemd/system/tidewell-poll@.timer
check "service account tidewell" bash -c 'getent passwd tidewell | grep -q nologin'
check "metrics directory made" test -d /var/lib/tidewell/metrics
check "program directory owned by tidewell" \
    bash -c '[[ $(stat -c %U /var/lib/tidewell) == tidewell ]]'
check "libqorcom registered in $registry" grep -q 'libqorcom.so' "$registry"
check "$registry readable by every account" bash -c "(( 8#\$(stat -c %a $registry) & 4 ))"

# An account that registered nothing itself creates an object root registered.
cat >"$work/lock.qor" <<'SCRIPT'
lock = CreateObject("QORCom.LockFile")
lock.Filename = "LOCKFILE"
print "locked", lock.Lock()
SCRIPT
mkdir -m 1777 "$work/shared"
sed -i "s|LOCKFILE|$work/shared/site.lck|" "$work/lock.qor"
chmod 0755 "$work"
chmod 0644 "$work/lock.qor"
check "qorauto as an unprivileged account creates QORCom.LockFile" bash -c \
    "cd / && setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/nonexistent \
       /usr/bin/qorauto $work/lock.qor 2>&1 | tee /dev/stderr | grep -q '^locked True$'"

# What the timer unit runs, as its account: a site with no POS paths yet is set up by ravelin
# and the run fails, and says so in its metrics.
prom=/var/lib/tidewell/metrics/tidewell-site-1.prom
runuser -u tidewell -- env TIDEWELL_HOME=/var/lib/tidewell /usr/bin/tidewell --headless \
    --metrics "$prom" 1 /AUTO >"$work/poll.log" 2>&1 || true
check "the service account's run set up site 1 and wrote its metrics" bash -c \
    "test -f /var/lib/tidewell/RAVELIN.001 && grep -q '^tidewell_last_run_result{site=\"1\"} 1$' $prom" ||
    cat "$work/poll.log"

dpkg -r "${packages[@]}" >"$work/remove.log" 2>&1 || { cat "$work/remove.log"; exit 1; }
check "removal leaves the registry without libqorcom's entries" \
    bash -c "! grep -qi -e 'libqorcom' -e 'QORCom\.' $registry"
check "removal leaves no program behind" bash -c '! test -e /usr/bin/tidewell -o -e /usr/bin/qorregsvr'

exit $((failures > 0))
