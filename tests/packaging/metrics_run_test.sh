#!/usr/bin/env bash
# Runs tidewell with --metrics on a simulated site and reads the textfile with the reference
# parser of the Prometheus text format:
#   metrics_run_test.sh TIDEWELL RAVELIN POSSIM TIDEWELL_PASS
# A first pass receives two periods and sends a department file (result 0, counts > 0); then
# the POS share disappears, the next pass fails (result 1) and the last success stays.
set -euo pipefail
tidewell=$1 ravelin=$2 possim=$3 passtool=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
home=$work/home pos=$work/pos
mkdir -p "$home" "$pos/export" "$pos/import" "$work/backoffice" "$work/locks" "$work/metrics"
export TIDEWELL_HOME=$home TIDEWELL_LOCK_DIR=$work/locks

"$possim" export-dir --out "$pos/export" --seed 3 --events 40 --periods 2 \
    --start 2026-11-30T06:00 --hours 12 >/dev/null
"$passtool" history "$home/POLHISTD.STA" --slots 100 >/dev/null
"$passtool" history "$home/POLHISTS.STA" --slots 100 >/dev/null
printf '%s\r\n' "SalesPath=$pos/export/" "ImportDestinationPath=$pos/import/" \
    "SendItems=TRUE" "ReceiveSales=TRUE" "DeletePOSSourceFile=TRUE" "7Z=FALSE" \
    >"$home/SETUP.STA"
"$ravelin" "$home/" /AUTO /SITE=4 "/TAMBORPATH=$work/backoffice" /TIDEWELL >/dev/null
"$passtool" departments "$home/004" --site 4 1=Grocery 2=Tobacco >/dev/null

prom=$work/metrics/tidewell-4.prom
"$tidewell" --metrics "$prom" 4 /AUTO >"$work/pass1.txt" || {
    cat "$work/pass1.txt"
    exit 1
}
cp "$prom" "$work/first.prom"
rm -rf "$pos/export"
if "$tidewell" --metrics="$prom" 4 /AUTO >"$work/pass2.txt"; then
    echo "the pass without its POS share succeeded"
    exit 1
fi

/usr/bin/python3 - "$work/first.prom" "$prom" <<'PY'
import sys
from prometheus_client.parser import text_string_to_metric_families

def samples(path):
    with open(path) as f:
        families = list(text_string_to_metric_families(f.read()))
    values = {}
    for family in families:
        assert family.type == "gauge", family
        assert family.documentation, family.name
        for sample in family.samples:
            assert sample.labels == {"site": "4"}, sample
            values[sample.name] = sample.value
    return values

first, second = samples(sys.argv[1]), samples(sys.argv[2])
print("first pass: ", first)
print("second pass:", second)
assert first["tidewell_last_run_result"] == 0
assert first["tidewell_last_run_polled"] == 1
assert first["tidewell_last_run_errors"] == 0
assert first["tidewell_last_run_events_split"] >= 40, "two periods of at least 20 events"
assert first["tidewell_last_run_files_received"] >= 2
assert first["tidewell_last_run_files_sent"] == 2, "the department file and its semaphore"
assert first["tidewell_last_success_timestamp_seconds"] == first["tidewell_last_run_timestamp_seconds"]
assert second["tidewell_last_run_result"] == 1
assert second["tidewell_last_run_errors"] >= 1
assert second["tidewell_last_success_timestamp_seconds"] == first["tidewell_last_success_timestamp_seconds"]
assert second["tidewell_last_run_timestamp_seconds"] >= first["tidewell_last_run_timestamp_seconds"]
print("ok: both textfiles parse and say what the runs did")
PY
