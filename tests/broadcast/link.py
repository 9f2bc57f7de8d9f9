#!/usr/bin/env python3
"""A TCP link from a local port to the RTMP server with small, fixed socket buffers, standing
for the network between the encoder and the server. Freezing this process (SIGSTOP) blocks the
encoder's writes within a second (the bridge gives the encoder a small send buffer too), as a
dead network does; a frozen server alone would not, since loopback buffers the data for it
without bound (over 1 MB after 100 s at 128 kbit/s, still growing). Prints
"listening on 127.0.0.1:PORT" once it accepts connections."""

import argparse
import selectors
import socket

# Set before listening, so that the accepted connections keep a small window.
BUFFER_BYTES = 8192


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--port", type=int, default=0, help="local port (0: any free one)")
    parser.add_argument("--target", type=int, required=True, help="the RTMP server's port")
    args = parser.parse_args()
    listener = socket.socket()
    # A link started again on its predecessor's port binds while that one's connections linger.
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, BUFFER_BYTES)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(8)
    print(f"listening on 127.0.0.1:{listener.getsockname()[1]}", flush=True)

    selector = selectors.DefaultSelector()
    selector.register(listener, selectors.EVENT_READ)
    peers = {}

    def close(sock):
        for end in (sock, peers.pop(sock, None)):
            if end is not None:
                peers.pop(end, None)
                selector.unregister(end)
                end.close()

    while True:
        for key, _ in selector.select():
            sock = key.fileobj
            if sock is listener:
                client, _ = listener.accept()
                try:
                    server = socket.create_connection(("127.0.0.1", args.target), timeout=5)
                except OSError:
                    client.close()  # as a refused connection would
                    continue
                for end in (client, server):
                    end.setblocking(True)
                    selector.register(end, selectors.EVENT_READ)
                peers[client], peers[server] = server, client
                continue
            if sock not in peers:
                continue  # closed with its peer in this round
            try:
                data = sock.recv(65536)
                if data:
                    peers[sock].sendall(data)
                    continue
            except OSError:
                pass
            close(sock)


if __name__ == "__main__":
    main()
