#!/usr/bin/env python3
"""A stand-in for the engine's health address, for tests.

servidor.py PORT [--estado N] [--cuerpo TEXT] [--retraso SECONDS] [--marca FILE]
Prints "listo" once it accepts connections.
"""
import argparse
import http.server
import sys
import time

p = argparse.ArgumentParser()
p.add_argument("puerto", type=int)
p.add_argument("--estado", type=int, default=200)
p.add_argument("--cuerpo", default='{"version": "1.0.0"}')
p.add_argument("--retraso", type=float, default=0.0)
p.add_argument("--marca", help="file that receives the wall-clock time it starts answering")
a = p.parse_args()


class Manejador(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        time.sleep(a.retraso)
        cuerpo = a.cuerpo.encode()
        self.send_response(a.estado)
        self.send_header("Content-Length", str(len(cuerpo)))
        self.end_headers()
        self.wfile.write(cuerpo)

    def log_message(self, *args):
        pass


class Servidor(http.server.ThreadingHTTPServer):
    allow_reuse_address = True


s = Servidor(("127.0.0.1", a.puerto), Manejador)
if a.marca:
    with open(a.marca, "w") as f:
        f.write(repr(time.time()))
print("listo", flush=True)
sys.stdout.close()
s.serve_forever()
