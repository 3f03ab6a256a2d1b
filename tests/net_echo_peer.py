#!/usr/bin/env python3
"""Independent frame peer for the networking interoperability test.

Listens on 127.0.0.1 at the port given as the only argument, serves one
connection and answers every frame with a frame whose payload is the received
payload reversed. A frame is one byte holding the number of digits, the digits
of the payload length in ASCII, then the payload. Exits when the client closes,
after 20 silent seconds, or with status 2 on a malformed frame.
"""
import socket
import sys

WAIT_SECONDS = 20


def read_exactly(connection, count):
    data = b""
    while len(data) < count:
        piece = connection.recv(count - len(data))
        if not piece:
            break
        data += piece
    return data


def frame(payload):
    digits = str(len(payload)).encode("ascii")
    return bytes([len(digits)]) + digits + payload


def serve(connection):
    while True:
        head = read_exactly(connection, 1)
        if not head:
            return 0
        digits = read_exactly(connection, head[0])
        if len(digits) != head[0] or not digits.isdigit():
            return 2
        length = int(digits)
        payload = read_exactly(connection, length)
        if len(payload) != length:
            return 2
        connection.sendall(frame(payload[::-1]))


def main():
    port = int(sys.argv[1])
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as server:
        server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        server.bind(("127.0.0.1", port))
        server.listen(1)
        server.settimeout(WAIT_SECONDS)
        connection, _ = server.accept()
        with connection:
            connection.settimeout(WAIT_SECONDS)
            return serve(connection)


if __name__ == "__main__":
    sys.exit(main())
