# A local FTP server for the tests: serves one folder to one user on a free port of 127.0.0.1
# and prints "PORT <n>" once it listens. Options switch off EPSV or MLSD (to reach the
# client's fallbacks); files whose names start with "stall" send 4096 bytes and then nothing
# more while the connection stays open (a server that stops sending).
import argparse
import sys

try:
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import DTPHandler, FTPHandler
    from pyftpdlib.servers import FTPServer
except ImportError as error:
    print("NOSERVER pyftpdlib is missing (%s): install python3-pyftpdlib" % error, flush=True)
    sys.exit(2)

STALL_AFTER = 4096


class StallingDTPHandler(DTPHandler):
    stall = False

    def use_sendfile(self):
        return False

    def push_with_producer(self, producer):
        name = getattr(getattr(producer, "file", None), "name", "")
        if isinstance(name, str) and name.rsplit("/", 1)[-1].startswith("stall"):
            self.stall = True
            self.ac_out_buffer_size = 1024
        DTPHandler.push_with_producer(self, producer)

    def initiate_send(self):
        if self.stall and self.tot_bytes_sent >= STALL_AFTER:
            self.modify_ioloop_events(self.ioloop.READ)
            return
        DTPHandler.initiate_send(self)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--no-epsv", action="store_true")
    parser.add_argument("--no-mlsd", action="store_true")
    args = parser.parse_args()

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")

    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    Handler.dtp_handler = StallingDTPHandler
    Handler.banner = "Test server ready."
    Handler.auth_failed_timeout = 0.1
    Handler.proto_cmds = dict(FTPHandler.proto_cmds)
    if args.no_epsv:
        del Handler.proto_cmds["EPSV"]
    if args.no_mlsd:
        del Handler.proto_cmds["MLSD"]

    import logging
    logging.basicConfig(level=logging.CRITICAL)
    server = FTPServer(("127.0.0.1", 0), Handler)
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


main()
