#!/usr/bin/env python3
"""A stand-in for the engine's health address: servidor.py PORT [--estado N] [--cuerpo TEXT]
[--retraso SECONDS] [--marca FILE, given the time it starts answering]. Prints "listo" once it listens."""
import argparse
import http.server
import sys
import time

p = argparse.ArgumentParser()
p.add_argument("puerto", type=int)
p.add_argument("--estado", type=int, default=200)
p.add_argument("--cuerpo", default='{"version": "1.0.0"}')
p.add_argument("--retraso", type=float, default=0.0)
p.add_argument("--marca")
a = p.parse_args()


class Manejador(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        time.sleep(a.retraso)
        self.send_response(a.estado)
        self.send_header("Content-Length", str(len(a.cuerpo.encode())))
        self.end_headers()
        self.wfile.write(a.cuerpo.encode())

    def handle(self):
        try:
            super().handle()
        except ConnectionError:
            pass  # a client that gave up waiting is no error of ours

    def log_message(self, *args):
        pass


s = http.server.ThreadingHTTPServer(("127.0.0.1", a.puerto), Manejador)  # reuses the address
if a.marca:
    with open(a.marca, "w") as f:
        f.write(repr(time.time()))
print("listo", flush=True)
sys.stdout.close()
s.serve_forever()
