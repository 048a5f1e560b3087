#!/usr/bin/env bash
# Mail end to end through late binding: a head office's script sends a price file and a binary
# attachment by SMTP (STARTTLS, AUTH, the server's certificate checked) to aiosmtpd, which
# delivers into a Maildir; dovecot serves that Maildir by POP3 and the script reads the message
# back, saves its attachments and deletes it. Both servers run on loopback and are stopped by
# PID. Needs root (dovecot) and the test user of scripts/interop-setup; fails otherwise.
#
#   run_mail.sh QORREGSVR QORAUTO LIBRARY SOURCE_DIR WORK_DIR
set -euo pipefail
QORREGSVR=$1 QORAUTO=$2 LIBRARY=$3 SOURCE=$4 WORK=$5
SMTP_PORT=42027 POP3_PORT=42112

fail() { echo "FAILED: $*" >&2; exit 1; }
[[ $(id -u) -eq 0 ]] || fail "needs root to run dovecot"
id qortest >/dev/null 2>&1 || fail "needs the user qortest (scripts/interop-setup)"

rm -rf "$WORK"
mkdir -p "$WORK/out" "$WORK/saved" "$WORK/dovecot/run" "$WORK/dovecot/state"
# The mailbox lives where dovecot's mail process (the test user) can reach it.
MAILHOME=$(mktemp -d /home/qortest/mailscript.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$MAILHOME"
}
trap cleanup EXIT

openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=localhost \
    -addext subjectAltName=DNS:localhost,IP:127.0.0.1 -days 2 \
    -keyout "$WORK/key.pem" -out "$WORK/cert.pem" 2>/dev/null
cat "$WORK/cert.pem" "$WORK/key.pem" > "$WORK/both.pem"

wait_port() {  # wait_port PORT NAME LOG
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
        sleep 0.1
    done
    cat "$3" >&2
    fail "$2 did not start on port $1"
}

/usr/bin/python3 "$SOURCE/mail_server.py" "$SMTP_PORT" "$WORK/both.pem" "$MAILHOME/poller" \
    poller secret > "$WORK/smtp.log" 2>&1 &
pids+=($!)
wait_port "$SMTP_PORT" aiosmtpd "$WORK/smtp.log"

echo 'poller:{PLAIN}secret' > "$WORK/dovecot/users"
sed -e "s|@WORK@|$WORK|g" -e "s|@MAILHOME@|$MAILHOME|g" -e "s|@PORT@|$POP3_PORT|g" \
    "$SOURCE/dovecot.conf.in" > "$WORK/dovecot/dovecot.conf"
dovecot -F -c "$WORK/dovecot/dovecot.conf" > "$WORK/dovecot.out" 2>&1 &
pids+=($!)
wait_port "$POP3_PORT" dovecot "$WORK/dovecot/dovecot.log"

# The files to send: a small XML file and one holding every byte value.
printf '<?xml version="1.0"?>\r\n<Prices site="12"/>\r\n' > "$WORK/out/PRICES.XML"
/usr/bin/python3 -c 'import sys; sys.stdout.buffer.write(bytes(range(256)) * 40)' \
    > "$WORK/out/every byte.bin"

export COMLITE_REGISTRY="$WORK/registry.reg" QORCOM_MAIL_ATTACHMENTS="$WORK/saved"
export SSL_CERT_FILE="$WORK/cert.pem"
"$QORREGSVR" -s "$LIBRARY"

# The sending half runs first; the mailbox is the test user's once the message is in.
run_script() {  # run_script NAME
    sed -e "s|@WORK@|$WORK|g" -e "s|@SMTP_PORT@|$SMTP_PORT|g" -e "s|@POP3_PORT@|$POP3_PORT|g" \
        "$SOURCE/$1.qor" > "$WORK/$1.qor"
    sed -e "s|@WORK@|$WORK|g" "$SOURCE/$1.expected" > "$WORK/$1.expected"
    "$QORAUTO" "$WORK/$1.qor" > "$WORK/$1.out" 2>&1 || fail "$1.qor exited with $?: $(cat "$WORK/$1.out")"
    diff -u "$WORK/$1.expected" "$WORK/$1.out" || fail "$1.qor printed something else"
}
run_script mail_send
chown -R qortest:qortest "$MAILHOME"
run_script mail_read

cmp "$WORK/out/PRICES.XML" "$WORK/saved/PRICES.XML" || fail "PRICES.XML changed on the way"
cmp "$WORK/out/every byte.bin" "$WORK/saved/every byte.bin" || fail "every byte.bin changed on the way"
# Deleted, then QUIT: the mailbox is empty.
[[ -z $(find "$MAILHOME/poller/new" "$MAILHOME/poller/cur" -type f) ]] \
    || fail "the message was not deleted"
echo "ok: sent by SMTP, read back by POP3, attachments intact, message deleted"
