"""A socket that delivers a log and then fails, as a connection that is
reset: its other end is closed with bytes it never read, so that a read
after the log gets ECONNRESET. Run as a program, it runs PROGRAM with such a
socket as standard input.

Usage: resetting_input.py FILE PROGRAM [ARGUMENT...]"""

import os
import socket
import sys


def resetting_socket(data):
    """The reading end, holding `data` (at most what a socket buffers) and
    then the failure."""
    reading, other = socket.socketpair()
    other.sendall(data)
    reading.sendall(b"unread")
    other.close()
    return reading


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as log:
        source = resetting_socket(log.read())
    os.dup2(source.fileno(), 0)
    os.execvp(sys.argv[2], sys.argv[2:])
