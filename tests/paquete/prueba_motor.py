"""The sample engine on 127.0.0.1:8770 (CTest holds the lock puerto8770).
Every engine started here is stopped by its pid."""

import http.client
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import time

from comun import PAQUETE, ConTemporal


def pedir(ruta):
    conexion = http.client.HTTPConnection("127.0.0.1", 8770, timeout=5)
    try:
        conexion.request("GET", ruta)
        r = conexion.getresponse()
        return r.status, r.getheader("Content-Type"), r.read()
    finally:
        conexion.close()


class Motor(ConTemporal):
    def setUp(self):
        super().setUp()
        self.datos = self.tmp / "datos"
        shutil.copytree(PAQUETE / "app", self.datos / "app", ignore=shutil.ignore_patterns("__pycache__"))
        (self.datos / "instalado.txt").write_text("2.3.4\r\n")
        self.registro = self.datos / "mesa.log"

    def arrancar(self):
        motor = subprocess.Popen([sys.executable, "-m", "motor"], cwd=str(self.datos / "app"),
                                 env=dict(os.environ, VARNO_APP="/Aplicaciones/VARNO.app"),
                                 stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: motor.poll() is not None or (motor.send_signal(signal.SIGTERM), motor.wait(30)))
        return motor

    def saludo(self, motor):
        for _ in range(300):
            self.assertIsNone(motor.poll(), "el motor terminó antes de responder")
            try:
                return json.loads(pedir("/api/hola")[2])
            except OSError:
                time.sleep(0.2)
        self.fail("el motor no respondió")

    def errores(self):
        # VARNO shows the last line with "error" when an engine fails.
        return [l for l in self.registro.read_text(encoding="utf-8").splitlines() if "rror" in l]

    def test_answers_serves_its_page_logs_and_stops_on_sigterm(self):
        self.registro.write_text("2020-01-01 00:00:00 Error: un fallo de otro día\n")
        motor = self.arrancar()
        saludo = self.saludo(motor)

        self.assertEqual((saludo["version"], saludo["pid"], saludo["app"]), ("2.3.4", motor.pid, "/Aplicaciones/VARNO.app"))
        for ruta, estado, tipo in [("/", 200, "text/html; charset=utf-8"), ("/?a=b", 200, "text/html; charset=utf-8"),
                                   ("/otra", 404, "application/json")]:
            self.assertEqual(pedir(ruta)[:2], (estado, tipo))
        # A client in the middle of its request does not keep the engine alive.
        with socket.create_connection(("127.0.0.1", 8770)) as lento:
            lento.sendall(b"GET /api/hola HTTP/1.0\r\n")
            motor.send_signal(signal.SIGTERM)
            self.assertEqual(motor.wait(30), 0)
        self.assertTrue(self.registro.read_text(encoding="utf-8").endswith("Motor detenido.\n"))
        # Neither a healthy run nor an older log may offer an error.
        self.assertEqual(self.errores(), [])
        self.assertIn("un fallo de otro día", (self.datos / "mesa.log.1").read_text(encoding="utf-8"))

    def test_port_already_taken(self):
        with socket.socket() as mudo:  # another program holds the port and never answers
            mudo.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            mudo.bind(("127.0.0.1", 8770))
            mudo.listen(8)
            self.assertEqual(self.arrancar().wait(60), 1)
        self.assertTrue(self.errores()[-1].endswith("Error: el puerto 8770 está ocupado por otro programa."))

        # Held by an engine instead: the second one steps aside and the first goes on serving.
        primero = self.arrancar()
        self.saludo(primero)
        self.assertEqual(self.arrancar().wait(60), 0)
        self.assertEqual(self.saludo(primero)["pid"], primero.pid)
        self.assertIn("Ya hay un motor en marcha (pid %d); este se retira." % primero.pid,
                      self.registro.read_text(encoding="utf-8"))
        self.assertEqual(self.errores(), [])
