"""The sample engine on 127.0.0.1:8770 (CTest runs these under the lock
puerto8770). Every engine started here is stopped by its pid."""

import http.client
import http.server
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time
import unittest

from comun import PAQUETE, ConTemporal, construir_espejo, datos_de, instalar

PUERTO = 8770
APP = "/Aplicaciones/VARNO.app"


def pedir(ruta):
    conexion = http.client.HTTPConnection("127.0.0.1", PUERTO, timeout=5)
    try:
        conexion.request("GET", ruta)
        respuesta = conexion.getresponse()
        return respuesta.status, respuesta.getheader("Content-Type"), respuesta.read()
    finally:
        conexion.close()


def lineas_con_error(registro):
    return [l for l in registro.read_text(encoding="utf-8").splitlines() if "rror" in l]


def oyente_mudo():
    """Holds the port and never answers; returns what lets it go."""
    oyente = socket.socket()
    oyente.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    oyente.bind(("127.0.0.1", PUERTO))
    oyente.listen(8)
    return oyente.close


def servidor_ajeno(manejador):
    servidor = http.server.HTTPServer(("127.0.0.1", PUERTO), manejador)
    threading.Thread(target=servidor.serve_forever, daemon=True).start()

    def soltar():
        servidor.shutdown()
        servidor.server_close()
    return soltar


class ConMotor(ConTemporal):
    def arrancar(self, python, app):
        env = dict(os.environ, VARNO_APP=APP)
        proceso = subprocess.Popen([str(python), "-m", "motor"], cwd=str(app), env=env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.addCleanup(self.parar, proceso)
        return proceso

    @staticmethod
    def parar(proceso):
        if proceso.poll() is None:
            os.kill(proceso.pid, signal.SIGTERM)
            try:
                proceso.wait(30)
            except subprocess.TimeoutExpired:
                os.kill(proceso.pid, signal.SIGKILL)
                proceso.wait()

    def esperar_saludo(self, proceso):
        """The engine's health answer, once it gives one."""
        limite = time.monotonic() + 60
        while time.monotonic() < limite:
            self.assertIsNone(proceso.poll(), "el motor terminó antes de responder")
            try:
                estado, _, cuerpo = pedir("/api/hola")
                if estado == 200:
                    return json.loads(cuerpo)
            except OSError:
                pass
            time.sleep(0.2)
        self.fail("el motor no respondió")


class Motor(ConMotor):
    def setUp(self):
        super().setUp()
        self.datos = self.tmp / "datos"
        self.app = self.datos / "app"
        shutil.copytree(PAQUETE / "app", self.app, ignore=shutil.ignore_patterns("__pycache__"))
        (self.datos / "instalado.txt").write_text("2.3.4\r\n")
        self.registro = self.datos / "mesa.log"

    def test_answers_serves_its_page_and_stops_on_sigterm(self):
        motor = self.arrancar(sys.executable, self.app)
        saludo = self.esperar_saludo(motor)

        self.assertEqual(saludo["version"], "2.3.4")
        self.assertEqual(saludo["servicio"], "varno-motor")
        self.assertEqual(saludo["pid"], motor.pid)
        self.assertEqual(saludo["app"], APP)
        casos = [
            ("/", 200, "text/html", b"VARNO"),
            ("/?desde=lanzador", 200, "text/html", b"VARNO"),
            ("/no-existe", 404, "application/json", b"no-existe"),
        ]
        for ruta, estado, tipo, contenido in casos:
            with self.subTest(ruta):
                recibido, tipo_recibido, cuerpo = pedir(ruta)
                self.assertEqual(recibido, estado)
                self.assertTrue(tipo_recibido.startswith(tipo), tipo_recibido)
                self.assertIn(contenido, cuerpo)

        os.kill(motor.pid, signal.SIGTERM)
        self.assertEqual(motor.wait(30), 0)
        lineas = self.registro.read_text(encoding="utf-8").splitlines()
        self.assertIn("Motor 2.3.4 en marcha", lineas[0])
        self.assertTrue(lineas[-1].endswith("Motor detenido."))
        # VARNO shows the last line with "error" when an engine fails: a
        # healthy run must not write one.
        self.assertEqual(lineas_con_error(self.registro), [])

    def test_second_start_leaves_the_first_serving(self):
        primero = self.arrancar(sys.executable, self.app)
        self.esperar_saludo(primero)

        segundo = self.arrancar(sys.executable, self.app)
        self.assertEqual(segundo.wait(60), 0)

        self.assertEqual(self.esperar_saludo(primero)["pid"], primero.pid)
        texto = self.registro.read_text(encoding="utf-8")
        self.assertIn("Ya hay un motor en marcha (pid %d); este se retira." % primero.pid, texto)
        self.assertIn("en marcha en http://127.0.0.1:%d" % PUERTO, texto.splitlines()[0])
        self.assertEqual(lineas_con_error(self.registro), [])

    def test_port_held_by_another_program(self):
        class Ajeno(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                self.send_response(200)
                self.end_headers()
                self.wfile.write(b'{"version": "de otro"}')

            def log_message(self, *args):
                pass

        casos = [("a silent listener", oyente_mudo), ("another web server", lambda: servidor_ajeno(Ajeno))]
        for nombre, ocupar in casos:
            with self.subTest(nombre):
                soltar = ocupar()
                try:
                    motor = self.arrancar(sys.executable, self.app)
                    self.assertEqual(motor.wait(60), 1)
                finally:
                    soltar()
                self.assertTrue(lineas_con_error(self.registro)[-1].endswith(
                    "Error: el puerto 8770 está ocupado por otro programa."))

    def test_previous_log_is_kept_one_step_back(self):
        self.registro.write_text("2020-01-01 00:00:00 Error: un fallo de otro día\n", encoding="utf-8")
        motor = self.arrancar(sys.executable, self.app)
        self.esperar_saludo(motor)

        self.assertEqual(lineas_con_error(self.registro), [])
        self.assertIn("un fallo de otro día", (self.datos / "mesa.log.1").read_text(encoding="utf-8"))



class MotorInstalado(ConMotor):
    def test_installed_engine_answers_the_launchers_probe(self):
        casa = self.tmp / "casa"
        casa.mkdir()
        rc, lineas = instalar(casa, construir_espejo(self.tmp / "espejo"), version="3.0.0")
        self.assertEqual(rc, 0, "\n".join(lineas))
        datos = datos_de(casa)

        # Started as VARNO starts it, probed as VARNO probes it.
        motor = self.arrancar(datos / "python" / "bin" / "python", datos / "app")
        limite = time.monotonic() + 60
        cuerpo = ""
        while "version" not in cuerpo and time.monotonic() < limite:
            self.assertIsNone(motor.poll(), "el motor terminó antes de responder")
            cuerpo = subprocess.run(["/usr/bin/curl", "-fs", "-m", "1.5", "http://127.0.0.1:8770/api/hola"],
                                    stdout=subprocess.PIPE).stdout.decode()
        saludo = json.loads(cuerpo)
        self.assertEqual(saludo["version"], "3.0.0")
        self.assertEqual(saludo["python"].split(".")[0], "3")
        # The page is the one downloaded in step 6.
        self.assertIn(b'fetch("/api/hola")', pedir("/")[2])
        self.assertIn("en marcha", (datos / "mesa.log").read_text(encoding="utf-8"))


if __name__ == "__main__":
    unittest.main()
