#!/usr/bin/env bash
# Registers libqorcom.so into a fresh registry, runs local.qor and compares its output, then
# lets two qorauto processes share one queue, each fed its statements one at a time so that
# the dialogue is the same on every run.
#
#   run_local.sh QORREGSVR QORAUTO LIBRARY SOURCE_DIR WORK_DIR
set -euo pipefail
QORREGSVR=$1 QORAUTO=$2 LIBRARY=$3 SOURCE=$4 WORK=$5

rm -rf "$WORK"
mkdir -p "$WORK/find"
export COMLITE_REGISTRY="$WORK/registry.reg" TIDEWELL_LOCK_DIR="$WORK"
for name in ILG001.XML ilg002.xml other.txt; do echo x > "$WORK/find/$name"; done
"$QORREGSVR" -s "$LIBRARY"

fail() { echo "FAILED: $*" >&2; exit 1; }

# ---- One process: every local component ----
sed "s|@WORK@|$WORK|g" "$SOURCE/local.qor" > "$WORK/local.qor"
sed "s|@WORK@|$WORK|g" "$SOURCE/local.expected" > "$WORK/local.expected"
status=0
"$QORAUTO" "$WORK/local.qor" > "$WORK/local.out" 2>&1 || status=$?
# The script makes one call fail on purpose (a queue without a name): status 1.
[[ $status == 1 ]] || fail "local.qor exited with $status"
diff -u "$WORK/local.expected" "$WORK/local.out" || fail "local.qor printed something else"

# ---- Two processes, one queue ----
mkfifo "$WORK/a.in" "$WORK/a.out" "$WORK/b.in" "$WORK/b.out"
"$QORAUTO" - < "$WORK/a.in" > "$WORK/a.out" 2>&1 &
a_pid=$!
"$QORAUTO" - < "$WORK/b.in" > "$WORK/b.out" 2>&1 &
b_pid=$!
exec 3> "$WORK/a.in" 4< "$WORK/a.out" 5> "$WORK/b.in" 6< "$WORK/b.out"

# say A|B STATEMENT...: runs statements in that process.
say() {
    local fd=3; [[ $1 == B ]] && fd=5
    shift
    for statement in "$@"; do printf '%s\n' "$statement" >&$fd; done
}
# expect A|B LINE: the next line that process prints must be LINE.
expect() {
    local fd=4 line; [[ $1 == B ]] && fd=6
    read -r -t 60 line <&$fd || fail "process $1 printed nothing (expected: $2)"
    [[ $line == "$2" ]] || fail "process $1 printed '$line', expected '$2'"
}

queue="ci-queue-$$"
open=("q = CreateObject(\"QORCom.GlobalQueue\")" "q.Name = \"$queue\"")
say A "${open[@]}" 'q.Add("from A 1")' 'q.Add("from A 2")' 'print "A added", q.Empty'
expect A "A added False"
say B "${open[@]}" 'print q.Remove(entry), entry'
expect B "True from A 1"
say B 'q.Add("from B")' 'print "B added"'
expect B "B added"
say A 'print q.Remove(entry), entry' 'print q.Remove(entry), entry' 'print q.Remove(entry), entry, "|"'
expect A "True from A 2"
expect A "True from B"
expect A "False  |"
# The queue lives while either process uses it, and goes with the last one.
say A 'q.Add("kept")' 'q = Nothing' 'print "A let go"'
expect A "A let go"
say B 'print q.Remove(entry), entry' 'q.Add("dropped")' 'q = Nothing' 'print "B let go"'
expect B "True kept"
expect B "B let go"
say A "${open[@]}" 'print "after both let go", q.Empty'
expect A "after both let go True"

exec 3>&- 5>&-
wait $a_pid || fail "process A exited with $?"
wait $b_pid || fail "process B exited with $?"
echo "local components and the shared queue between two processes: as expected"
