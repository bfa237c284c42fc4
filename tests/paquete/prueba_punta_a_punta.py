"""The built program, installer and engine, offline: an update, the hand-off, the next update, the engine stopped."""

import json, os, socket, subprocess, sys, time, unittest, urllib.error, urllib.request

from comun import BUNDLE, RAIZ, construir_espejo, datos_de, escribir, instalar, parar, temporal


def pedir(ruta, anfitrion="127.0.0.1:8770"):
    with urllib.request.urlopen(urllib.request.Request("http://127.0.0.1:8770" + ruta, headers={"Host": anfitrion}),
                                timeout=2) as r:
        return r.read()


def quien(veces=1):
    """The pid that whatever answers on the port names, waiting up to `veces` tenths of a second; or None."""
    for _ in range(veces):
        try:
            return json.loads(pedir("/api/hola"))["pid"]
        except OSError:
            time.sleep(0.1)


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
        self.addCleanup(parar, hola["pid"])
        self.assertEqual(actualizacion.returncode, 0, actualizacion.stderr.decode(errors="replace"))
        version = (BUNDLE / "Contents/Resources/version.txt").read_text().strip()
        self.assertEqual(((datos / "instalado.txt").read_text().strip(), hola["version"], hola["app"]),
                         (version, version, str(BUNDLE)))
        self.assertIn(b'fetch("/api/hola")', pedir("/", "LOCALHOST:8770"))  # the page, from the engine's wheel
        for anfitrion in ["127.0.0.1", "varno.example:8770", ""]:  # a page reached by DNS rebinding names its own
            with self.assertRaises(urllib.error.HTTPError) as refusal:
                pedir("/api/hola", anfitrion)
            self.assertEqual((refusal.exception.code, refusal.exception.read()), (421, b""))
        self.assertIn("Successfully installed varno-motor-%s" % version, (datos / "instalacion.log").read_text())
        self.assertFalse((datos / "app" / "motor").exists())

        # The hand-off: started again, VARNO starts the engine once more and quits; that one steps aside.
        self.assertEqual(varno().returncode, 0)
        retira = "Ya hay un motor en marcha (pid %d); este se retira." % hola["pid"]
        self.assertTrue(any(retira in mesa() or time.sleep(0.1) for _ in range(300)))
        self.assertEqual((quien(), errores()), (hola["pid"], []))

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

        # Started as older versions did (without -I), the engine's own check finds the json.py beside it.
        escribir(datos / "app/json.py", "dumps = loads = None")
        r = subprocess.run([datos / "python/bin/python", "-m", "motor", "--comprobar"], cwd=datos / "app",
                           capture_output=True, text=True)
        self.assertEqual((r.returncode, r.stdout.split(",")[0]), (1, "El motor no carga json del Python instalado"))
        # scripts/parar-motor.sh stops this installation's engine, started as VARNO starts it beside that json.py
        # and an older engine, and leaves another engine on the port be, whatever pid it names.
        escribir(datos / "app/motor/__init__.py", "raise SystemExit('el motor viejo')")
        otro = ["env", "PYTHONPATH=%s/paquete/app" % RAIZ, sys.executable, "-B", RAIZ / "paquete/app/motor"]
        nada, este = "No hay ningún motor en marcha.", [datos / "python/bin/python", "-I", "-m", "motor"]
        for orden, linea in [([], nada), (este, "Motor parado (pid {})."), (otro, nada)]:
            subprocess.run(["sh", "-c", '[ $# = 0 ] || "$@" >/dev/null 2>&1 &', "sh", *orden], cwd=datos / "app")
            self.addCleanup(parar, pid := quien(100 if orden else 1))
            r = subprocess.run(["bash", RAIZ / "scripts/parar-motor.sh"], env=dict(os.environ, HOME=str(casa)),
                               capture_output=True, text=True)
            self.assertEqual((r.returncode, r.stdout, quien()), (0, linea.format(pid) + "\n",
                                                                 [None, pid][orden == otro]))
