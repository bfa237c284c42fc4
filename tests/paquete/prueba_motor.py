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
import unittest

from comun import PAQUETE, ConTemporal, construir_espejo, datos_de, instalar


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

    def arrancar(self, python=sys.executable, datos=None):
        motor = subprocess.Popen([str(python), "-m", "motor"], cwd=str((datos or self.datos) / "app"),
                                 env=dict(os.environ, VARNO_APP="/Aplicaciones/VARNO.app"),
                                 stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: motor.poll() is not None or (motor.send_signal(signal.SIGTERM), motor.wait(30)))
        return motor

    def esperar_saludo(self, motor):
        for _ in range(300):
            self.assertIsNone(motor.poll(), "el motor terminó antes de responder")
            try:
                estado, _, cuerpo = pedir("/api/hola")
                if estado == 200:
                    return json.loads(cuerpo)
            except OSError:
                time.sleep(0.2)
        self.fail("el motor no respondió")

    def errores(self):
        return [l for l in self.registro.read_text(encoding="utf-8").splitlines() if "rror" in l]

    def test_answers_serves_its_page_logs_and_stops_on_sigterm(self):
        self.registro.write_text("2020-01-01 00:00:00 Error: un fallo de otro día\n")
        motor = self.arrancar()
        saludo = self.esperar_saludo(motor)

        self.assertEqual((saludo["version"], saludo["servicio"], saludo["pid"], saludo["app"]),
                         ("2.3.4", "varno-motor", motor.pid, "/Aplicaciones/VARNO.app"))
        for ruta, estado, tipo in [("/", 200, "text/html"), ("/?a=b", 200, "text/html"),
                                   ("/otra", 404, "application/json")]:
            self.assertEqual(pedir(ruta)[:2], (estado, tipo + ("; charset=utf-8" if estado == 200 else "")))
        # A client in the middle of its request does not keep the engine alive.
        with socket.create_connection(("127.0.0.1", 8770)) as lento:
            lento.sendall(b"GET /api/hola HTTP/1.0\r\n")
            motor.send_signal(signal.SIGTERM)
            self.assertEqual(motor.wait(30), 0)
        self.assertTrue(self.registro.read_text(encoding="utf-8").endswith("Motor detenido.\n"))
        # VARNO shows the last line with "error" when an engine fails: neither
        # a healthy run nor an older log may offer one.
        self.assertEqual(self.errores(), [])
        self.assertIn("un fallo de otro día", (self.datos / "mesa.log.1").read_text(encoding="utf-8"))

    def test_second_start_leaves_the_first_serving(self):
        primero = self.arrancar()
        self.esperar_saludo(primero)

        self.assertEqual(self.arrancar().wait(60), 0)

        self.assertEqual(self.esperar_saludo(primero)["pid"], primero.pid)
        self.assertIn("Ya hay un motor en marcha (pid %d); este se retira." % primero.pid,
                      self.registro.read_text(encoding="utf-8"))
        self.assertEqual(self.errores(), [])

    def test_port_held_by_another_program(self):
        with socket.socket() as mudo:  # holds the port, never answers
            mudo.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            mudo.bind(("127.0.0.1", 8770))
            mudo.listen(8)
            self.assertEqual(self.arrancar().wait(60), 1)
        self.assertTrue(self.errores()[-1].endswith("Error: el puerto 8770 está ocupado por otro programa."))

    def test_installed_engine_answers_the_launchers_probe(self):
        casa = self.tmp / "casa"
        casa.mkdir()
        rc, lineas = instalar(casa, construir_espejo(self.tmp / "espejo"), version="3.0.0")
        self.assertEqual(rc, 0, "\n".join(lineas))

        # Started and probed as VARNO does it.
        motor = self.arrancar(datos_de(casa) / "python" / "bin" / "python", datos_de(casa))
        self.esperar_saludo(motor)
        cuerpo = subprocess.run(["/usr/bin/curl", "-fs", "-m", "1.5", "http://127.0.0.1:8770/api/hola"],
                                stdout=subprocess.PIPE).stdout
        self.assertEqual(json.loads(cuerpo)["version"], "3.0.0")
        self.assertIn(b'fetch("/api/hola")', pedir("/")[2])  # the page downloaded in step 6

        # An update stops the engine it replaces, so that the new one can serve.
        rc, lineas = instalar(casa, self.tmp / "espejo", version="3.1.0")
        self.assertEqual((rc, "Se detiene el motor que estaba en marcha." in lineas), (0, True))
        self.assertEqual(motor.wait(30), 0)


if __name__ == "__main__":
    unittest.main()
