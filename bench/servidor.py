#!/usr/bin/env python3
"""A stand-in for the engine's health address: servidor.py PORT [--estado N] [--cuerpo TEXT]
[--retraso SECONDS] [--marca FILE, given the time it starts answering]. Prints "listo" once it listens."""
import http.server, sys, time

a = dict(zip(sys.argv[2::2], sys.argv[3::2]))
estado, retraso = int(a.get("--estado", 200)), float(a.get("--retraso", 0))
cuerpo = a.get("--cuerpo", '{"version": "1.0.0"}').encode()


class Manejador(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        time.sleep(retraso)
        self.send_response(estado)
        self.send_header("Content-Length", str(len(cuerpo)))
        self.end_headers()
        self.wfile.write(cuerpo)

    def handle(self):
        try:
            super().handle()
        except ConnectionError:
            pass  # a client that gave up waiting is no error of ours

    def log_message(self, *args):
        pass


s = http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), Manejador)  # reuses the address
if "--marca" in a:
    with open(a["--marca"], "w") as f:
        f.write(repr(time.time()))
print("listo", flush=True)
sys.stdout.close()
s.serve_forever()
