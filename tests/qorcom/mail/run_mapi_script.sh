#!/usr/bin/env bash
# Registers libqorcom.so into a fresh registry and runs mapi_script.qor with qorauto over the
# simulated mail provider: the message it sends must reach the outbox, and the message it reads
# must be the one seeded in the inbox.
#
#   run_mapi_script.sh QORREGSVR QORAUTO LIBRARY SIM_PROVIDER SOURCE_DIR WORK_DIR
set -euo pipefail
QORREGSVR=$1 QORAUTO=$2 LIBRARY=$3 PROVIDER=$4 SOURCE=$5 WORK=$6

fail() { echo "FAILED: $*" >&2; exit 1; }

rm -rf "$WORK"
mkdir -p "$WORK/inbox" "$WORK/outbox"
export COMLITE_REGISTRY="$WORK/registry.reg" TIDEWELL_LOCK_DIR="$WORK"
export QORCOM_MAPI_PROVIDER="$PROVIDER" QORCOM_MAPI_SIM_INBOX="$WORK/inbox"
export QORCOM_MAPI_SIM_OUTBOX="$WORK/outbox" QORCOM_MAPI_SIM_LOG="$WORK/calls.log"
"$QORREGSVR" -s "$LIBRARY"
printf 'site,total\n12,99.50\n' > "$WORK/totals.csv"
printf 'From: Shop 12 <shop12@example.com>\nTo: office@example.com\nSubject: Night report\n\nAll tills balanced.\n' \
    > "$WORK/inbox/0001.eml"

sed "s|@WORK@|$WORK|g" "$SOURCE/mapi_script.qor" > "$WORK/mapi_script.qor"
status=0
# The last logon is refused on purpose.
QORCOM_MAPI_SIM_REFUSED_PROFILE=nobody "$QORAUTO" "$WORK/mapi_script.qor" > "$WORK/out" 2>&1 || status=$?
cat "$WORK/out"
[[ $status == 1 ]] || fail "qorauto exited with $status"

expected="sent 0
first True
read True
Shop 12 <shop12@example.com> | office@example.com | Night report | 
delete True
next False"
diff -u <(printf '%s\n' "$expected") <(head -n 6 "$WORK/out") || fail "the script printed something else"
grep -q 'Logon failure.  Make sure there is a default logon.' "$WORK/out" ||
    fail "the refused logon's text is missing"

sent=("$WORK"/outbox/*)
[[ ${#sent[@]} == 1 ]] || fail "expected one sent message, found ${#sent[@]}"
grep -q '^To: Ann Lee <ann@example.com>, bob@example.com' "${sent[0]}" || fail "To header"
grep -q '^Subject: Day 12' "${sent[0]}" || fail "Subject header"
grep -q 'filename="totals.csv"' "${sent[0]}" || fail "attachment"
[[ ! -e "$WORK/inbox/0001.eml" ]] || fail "the read message was not deleted"
echo "mapi script: 1 passed, 0 failed"
