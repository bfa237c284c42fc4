"""The built program with the bundled installer and engine, offline: an update, the hand-off
to the engine that answers, the next update. Every engine started here is stopped."""

import json, os, socket, subprocess, time, unittest, urllib.request

from comun import BUNDLE, construir_espejo, datos_de, escribir, instalar, temporal


def pedir(ruta):
    with urllib.request.urlopen("http://127.0.0.1:8770" + ruta, timeout=2) as r:
        return r.read()


class PuntaAPunta(unittest.TestCase):
    def test_update_hand_off_and_the_next_update(self):
        tmp = temporal(self.enterContext)
        casa, espejo = tmp / "casa", construir_espejo(tmp / "espejo")
        datos = datos_de(casa)
        # An older version is in place, and its engine's log holds an old failure.
        escribir(datos / "python/bin/python", "exit 1")
        (datos / "instalado.txt").write_text("0.1\n")
        (datos / "mesa.log").write_text("2020-01-01 00:00:00 Error: un fallo de otro día\n")
        mesa = lambda: (datos / "mesa.log").read_text(encoding="utf-8")
        errores = lambda: [l for l in mesa().splitlines() if "rror" in l]
        # A proxy where nobody answers: VARNO's probe of the engine must not use it. VARNO sets VARNO_APP.
        env = dict(os.environ, HOME=str(casa), QT_QPA_PLATFORM="offscreen", VARNO_ESPEJO=str(espejo),
                   VARNO_APP="heredado", XDG_DATA_HOME=str(casa / ".local/share"),
                   http_proxy="http://127.0.0.1:9", HTTP_PROXY="http://127.0.0.1:9")
        # The output is captured until every process holding it ends: the engine must not hold it.
        varno = lambda: subprocess.run([BUNDLE / "Contents/MacOS/VARNO", "--no-mover"], env=env,
                                       stdin=subprocess.DEVNULL, capture_output=True, timeout=300)

        actualizacion = varno()

        hola = json.loads(pedir("/api/hola"))
        self.addCleanup(subprocess.run, ["kill", str(hola["pid"])], stderr=subprocess.DEVNULL)
        self.assertEqual(actualizacion.returncode, 0, actualizacion.stderr.decode(errors="replace"))
        version = (BUNDLE / "Contents/Resources/version.txt").read_text().strip()
        self.assertEqual(((datos / "instalado.txt").read_text().strip(), hola["version"], hola["app"]),
                         (version, version, str(BUNDLE)))
        self.assertIn(b'fetch("/api/hola")', pedir("/"))  # the page, from the engine's wheel
        registro = (datos / "instalacion.log").read_text()
        self.assertTrue(registro.startswith("VARNO %s: instalación " % version))
        self.assertIn("Successfully installed varno-motor-%s" % version, registro)
        self.assertFalse((datos / "app" / "motor").exists())

        # The hand-off: started again, VARNO starts the engine once more and quits; that one steps aside.
        self.assertEqual(varno().returncode, 0)
        retira = "Ya hay un motor en marcha (pid %d); este se retira." % hola["pid"]
        self.assertTrue(any(retira in mesa() or time.sleep(0.1) for _ in range(300)))
        self.assertEqual((json.loads(pedir("/api/hola"))["pid"], errores()), (hola["pid"], []))

        # An update stops the engine it replaces, so that the new one can serve.
        rc, lineas = instalar(casa, espejo, BUNDLE / "Contents/Resources/paquete", version="99.0")
        self.assertEqual((rc, "Se detiene el motor que estaba en marcha." in lineas), (0, True), lineas)
        with self.assertRaises(ProcessLookupError):
            os.kill(hola["pid"], 0)

        # Another program holds the port and never answers: the engine says so and ends.
        with socket.socket() as mudo:
            mudo.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            mudo.bind(("127.0.0.1", 8770))
            mudo.listen(8)
            motor = subprocess.run([datos / "python/bin/python", "-m", "motor"], cwd=datos / "app",
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=60)
        ocupado = "Error: el puerto 8770 está ocupado por otro programa."
        self.assertEqual((motor.returncode, errores()[-1][20:]), (1, ocupado))
