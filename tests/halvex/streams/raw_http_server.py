#!/usr/bin/env python3
"""A bare TCP server for state fetch tests: answers every connection with fixed bytes, as they
are, whatever was asked, and closes. Prints its port on the first line of standard output.

  raw_http_server.py --body FILE             send FILE's bytes, then close
  raw_http_server.py --body FILE --reset     ... then abort the connection (reset, no orderly close)
  raw_http_server.py --generate MB           send a section of state records of about MB megabytes,
                                             made on the fly, then "$007,...,final*", "</dgc>" and
                                             "<REFRESH> 17"
  --stall                                    send the body, then hold the connection open
                                             without sending anything more
  --requests FILE                            append every request received to FILE
"""
import argparse
import socket
import struct

CHUNK_BYTES = 1 << 20
REQUEST_LIMIT = 1 << 16


def read_request(conn):
    """Reads up to the blank line that ends the request head (or until the client stops)."""
    data = b""
    while b"\r\n\r\n" not in data and len(data) < REQUEST_LIMIT:
        part = conn.recv(4096)
        if not part:
            break
        data += part
    return data


def generated_chunk():
    """About one megabyte of whole state records for ids 0..9."""
    lines = []
    size = 0
    n = 0
    while size < CHUNK_BYTES:
        line = "$%03d,%f,%f,1126531205,250,%d,%05.3f,gate %d,moving,Unit %d*\n" % (
            n % 10, 32.0 + n * 1e-6, -117.0 - n * 1e-6, n % 3, n * 0.001, n, n % 10)
        lines.append(line)
        size += len(line)
        n += 1
    return "".join(lines).encode()


def send_generated(conn, megabytes):
    conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n<dgc>\n")
    chunk = generated_chunk()
    for _ in range(megabytes):
        conn.sendall(chunk)
    conn.sendall(b"$007,1.500000,2.500000,0,0,0,0.250,end,end,final*\n</dgc>\n<REFRESH> 17\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--body")
    parser.add_argument("--reset", action="store_true")
    parser.add_argument("--generate", type=int, default=0)
    parser.add_argument("--stall", action="store_true")
    parser.add_argument("--requests")
    args = parser.parse_args()
    body = b""
    if args.body:
        with open(args.body, "rb") as f:
            body = f.read()

    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(16)
    print(server.getsockname()[1], flush=True)
    held = []
    while True:
        conn, _ = server.accept()
        try:
            request = read_request(conn)
            if args.requests:
                with open(args.requests, "ab") as f:
                    f.write(request)
            if args.generate:
                send_generated(conn, args.generate)
            else:
                conn.sendall(body)
            if args.stall:
                held.append(conn)  # never closed: the client has to give up
                continue
            if args.reset:
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        except OSError:
            pass
        conn.close()


if __name__ == "__main__":
    main()
