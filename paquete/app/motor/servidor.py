"""HTTP service of the engine on 127.0.0.1:8770.

The launcher only asks GET /api/hola and looks for "version" in the answer;
everything it learns when the engine fails to come up is the last line of
mesa.log that contains "Error", so only real failures may use that word.
"""

import errno
import http.client
import json
import os
import platform
import signal
import sys
import threading
import time
import traceback
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

PUERTO = 8770
IDENTIDAD = "varno-motor"
# A page elsewhere whose name was pointed at 127.0.0.1 (DNS rebinding) still
# sends its own name: only requests meant for this address are answered.
ANFITRIONES = ("127.0.0.1:%d" % PUERTO, "localhost:%d" % PUERTO)

PAGINA_MINIMA = """<!doctype html>
<html lang="es"><head><meta charset="utf-8"><title>VARNO</title></head>
<body><h1>VARNO</h1><p>El motor está en marcha.</p></body></html>
"""


def carpeta_datos():
    # VARNO starts the engine in DATOS/app; the engine itself is installed
    # inside the Python runtime, so only the working folder names DATOS.
    return Path.cwd().resolve().parent


class Registro:
    """mesa.log: one dated line per event, opened per line so that a second
    copy of the engine can add its line without disturbing the first."""

    def __init__(self, ruta):
        self.ruta = ruta

    def escribir(self, texto):
        linea = "%s %s\n" % (time.strftime("%Y-%m-%d %H:%M:%S"), texto)
        try:
            with open(self.ruta, "a", encoding="utf-8") as f:
                f.write(linea)
        except OSError:
            pass  # nowhere else to report it: our output goes to /dev/null

    def empezar(self):
        # A fresh log per serving engine keeps old failures from being shown
        # as the reason of a new one; the previous log stays one step back.
        try:
            os.replace(self.ruta, str(self.ruta) + ".1")
        except OSError:
            pass


def leer_version(datos):
    try:
        return (datos / "instalado.txt").read_text(encoding="utf-8").strip() or "desconocida"
    except (OSError, UnicodeDecodeError):
        return "desconocida"


def saludo(datos):
    ffmpeg = datos / "bin" / "ffmpeg"
    return {
        "servicio": IDENTIDAD,
        "version": leer_version(datos),
        "pid": os.getpid(),
        "app": os.environ.get("VARNO_APP", ""),
        "python": platform.python_version(),
        "ffmpeg": str(ffmpeg) if ffmpeg.exists() else None,
    }


def preguntar_al_puerto(intentos=2):
    """The health answer of whoever holds the port, or None.

    Straight to the socket rather than through urllib, which would send a
    loopback request to a proxy named in the environment."""
    for _ in range(intentos):
        conexion = http.client.HTTPConnection("127.0.0.1", PUERTO, timeout=2)
        try:
            conexion.request("GET", "/api/hola")
            respuesta = conexion.getresponse()
            datos = json.loads(respuesta.read().decode("utf-8"))
            return datos if respuesta.status < 400 and isinstance(datos, dict) else None
        except (ValueError, http.client.HTTPException):
            return None  # something answers, and it is not an engine
        except OSError:
            # An engine that bound the port a moment ago may not answer yet.
            time.sleep(1)
        finally:
            conexion.close()
    return None


class Manejador(BaseHTTPRequestHandler):
    server_version = "VARNO-motor"

    def log_message(self, formato, *args):
        pass  # the launcher probes twice a second; those lines would bury the log

    def do_GET(self):
        ruta = self.path.split("?", 1)[0]
        if (self.headers.get("Host") or "").lower() not in ANFITRIONES:
            self._enviar(421, "text/plain", b"")
        elif ruta == "/api/hola":
            self._enviar(200, "application/json", json.dumps(self.server.saludo).encode("utf-8"))
        elif ruta in ("/", "/index.html"):
            self._enviar(200, "text/html; charset=utf-8", self.server.pagina())
        else:
            self._enviar(404, "application/json", json.dumps({"ruta": ruta, "encontrada": False}).encode("utf-8"))

    def _enviar(self, estado, tipo, cuerpo):
        self.send_response(estado)
        self.send_header("Content-Type", tipo)
        self.send_header("Content-Length", str(len(cuerpo)))
        self.end_headers()
        self.wfile.write(cuerpo)


class Servidor(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, datos):
        super().__init__(("127.0.0.1", PUERTO), Manejador)
        self.datos = datos
        self.saludo = saludo(datos)

    def pagina(self):
        try:
            return (Path(__file__).resolve().parent / "interfaz" / "index.html").read_bytes()
        except OSError:
            return PAGINA_MINIMA.encode("utf-8")


def comprobar():
    """The installer's last check, run with the command, folder and environment
    VARNO starts the engine with: by now everything the engine serves with is
    imported, and it must be the installed engine and the installed Python's
    own library, never a file that happens to lie in the working folder."""
    for modulo, dentro in ((sys.modules["motor"], sys.prefix), (json, sys.base_prefix)):
        archivo = getattr(modulo, "__file__", None)  # none for a bare folder
        ruta = os.path.realpath(archivo) if archivo else "?"
        if not ruta.startswith(os.path.realpath(dentro) + os.sep):
            print("El motor no carga %s del Python instalado, sino de %s." % (modulo.__name__, ruta))
            return 1
    return 0


def principal():
    datos = carpeta_datos()
    registro = Registro(datos / "mesa.log")
    try:
        try:
            servidor = Servidor(datos)
        except OSError as e:
            if e.errno != errno.EADDRINUSE:
                registro.escribir("Error: no se pudo abrir el puerto %d: %s" % (PUERTO, e.strerror or e))
                return 1
            otro = preguntar_al_puerto()
            if otro is not None and otro.get("servicio") == IDENTIDAD:
                registro.escribir("Ya hay un motor en marcha (pid %s); este se retira." % otro.get("pid"))
                return 0
            registro.escribir("Error: el puerto %d está ocupado por otro programa." % PUERTO)
            return 1
        registro.empezar()

        def parar(signum, marco):
            # From another thread: shutdown() waits for the serving loop, which
            # runs in this one. An exception raised here instead could land in
            # the middle of a request and be swallowed with it.
            threading.Thread(target=servidor.shutdown, daemon=True).start()

        signal.signal(signal.SIGTERM, parar)
        signal.signal(signal.SIGINT, parar)
        registro.escribir(
            "Motor %s en marcha en http://127.0.0.1:%d (pid %d, Python %s)."
            % (servidor.saludo["version"], PUERTO, os.getpid(), platform.python_version())
        )
        try:
            servidor.serve_forever(poll_interval=0.5)
        finally:
            servidor.server_close()
        registro.escribir("Motor detenido.")
        return 0
    except Exception as e:
        # The traceback first: the launcher shows the last line with "Error".
        for linea in traceback.format_exc().rstrip().splitlines():
            registro.escribir("  " + linea)
        registro.escribir("Error: el motor falló: %s" % e)
        return 1


if __name__ == "__main__":
    sys.exit(principal())
