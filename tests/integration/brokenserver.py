#!/usr/bin/env python3
"""A loopback HTTP server that answers downloads the way a broken network or server would.

Usage: brokenserver.py PORT BODY_FILE LOG_FILE MODE

Every request is answered in the way MODE names. BODY_FILE is what a complete answer would carry.
  closed    headers with the full Content-Length, half of the body, then a reset connection
  short     headers with the full Content-Length, all but the last 1000 bytes of the body, then an
            orderly close
  silent    the connection is accepted and the request read, and nothing is ever sent
  redirect  302 to the same address, for ever
  ok        the whole body
Each request is logged as "<mode> <path>" to LOG_FILE, one line each, as it arrives.
"""
import socket
import struct
import sys
import threading


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(4096)
        if not chunk:
            return None
        data += chunk
    line = data.split(b"\r\n", 1)[0].decode("latin-1")
    parts = line.split(" ")
    return parts[1] if len(parts) >= 2 else None


def headers(status, length, extra=""):
    return (f"HTTP/1.1 {status}\r\nContent-Type: application/octet-stream\r\n"
            f"Content-Length: {length}\r\n{extra}Connection: close\r\n\r\n").encode("latin-1")


def serve(conn, body, log, behaviour, silent):
    try:
        path = read_request(conn)
        if path is None:
            conn.close()
            return
        with open(log, "a") as f:
            f.write(f"{behaviour} {path}\n")
        if behaviour == "closed":
            conn.sendall(headers("200 OK", len(body)) + body[: len(body) // 2])
            # A reset instead of an orderly close: the connection breaks in the middle of the body.
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            conn.close()
        elif behaviour == "short":
            conn.sendall(headers("200 OK", len(body)) + body[: max(0, len(body) - 1000)])
            conn.shutdown(socket.SHUT_WR)
            conn.close()
        elif behaviour == "silent":
            silent.append(conn)  # kept open, never answered, until the server ends
        elif behaviour == "redirect":
            conn.sendall(headers("302 Found", 0, f"Location: {path}\r\n"))
            conn.close()
        else:
            conn.sendall(headers("200 OK", len(body)) + body)
            conn.close()
    except OSError:
        pass


def main():
    port, body_file, log, mode = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
    with open(body_file, "rb") as f:
        body = f.read()
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", port))
    server.listen(16)
    silent = []
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve, args=(conn, body, log, mode, silent), daemon=True).start()


if __name__ == "__main__":
    main()
