"""FTP server for tests on 127.0.0.1 (pyftpdlib).

Serves --root read-only to --user/--password and to anonymous users. Failed
logons answer at once, without the usual delay. Prints "LISTENING <port>" once
it accepts connections; stopped by SIGTERM.
"""
import argparse
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="tabulo")
    parser.add_argument("--password", default="secreto")
    parser.add_argument("--log", default="")
    args = parser.parse_args()

    logger = logging.getLogger("pyftpdlib")
    logger.propagate = False
    if args.log:
        logger.addHandler(logging.FileHandler(args.log))
        logger.setLevel(logging.INFO)
    else:
        logger.addHandler(logging.NullHandler())

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elr")
    authorizer.add_anonymous(args.root, perm="elr")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "Loopback FTP ready."
    handler.auth_failed_timeout = 0
    server = FTPServer(("127.0.0.1", 0), handler)
    print("LISTENING %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    sys.exit(main())
