#!/usr/bin/python3
# An SMTP server on loopback for the mail scripts: aiosmtpd with STARTTLS required before
# AUTH (PLAIN and LOGIN, one user), delivering every message into a Maildir.
#
#   mail_server.py PORT CERT_AND_KEY_PEM MAILDIR USER PASSWORD
# Runs until SIGTERM. Prints "ready" once it listens.
import signal
import ssl
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.handlers import Mailbox
from aiosmtpd.smtp import AuthResult, LoginPassword

port, pem, maildir, user, password = sys.argv[1:6]
context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
context.load_cert_chain(pem)


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login == user.encode()
          and auth_data.password == password.encode())
    # handled=False: the server answers a refusal itself instead of leaving the client waiting.
    return AuthResult(success=ok, handled=False)


# Blocked before the server thread starts, so that sigwait below receives them.
signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM, signal.SIGINT})
controller = Controller(Mailbox(maildir), hostname="127.0.0.1", port=int(port),
                        tls_context=context, require_starttls=True,
                        authenticator=authenticator, auth_require_tls=True)
controller.start()
print("ready", flush=True)
signal.sigwait({signal.SIGTERM, signal.SIGINT})
controller.stop()
