"""The built program with the bundled installer and engine, from end to end:
an update from an older version installs against the offline mirror, opens
the engine and quits, leaving the engine answering; a later update stops it."""

import json
import os
import subprocess
import urllib.request

from comun import BUNDLE, ConTemporal, construir_espejo, datos_de, instalar


def pedir(ruta):
    with urllib.request.urlopen("http://127.0.0.1:8770" + ruta, timeout=2) as r:
        return r.read()


class PuntaAPunta(ConTemporal):
    def test_update_installs_opens_the_engine_and_quits(self):
        casa, espejo = self.tmp / "casa", construir_espejo(self.tmp / "espejo")
        datos = datos_de(casa)
        # An older version is in place.
        (datos / "python" / "bin").mkdir(parents=True)
        (datos / "python" / "bin" / "python").write_text("#!/bin/sh\nexit 1\n")
        (datos / "python" / "bin" / "python").chmod(0o755)
        (datos / "instalado.txt").write_text("0.1\n")
        env = dict(os.environ, HOME=str(casa), QT_QPA_PLATFORM="offscreen", VARNO_ESPEJO=str(espejo),
                   XDG_DATA_HOME=str(casa / ".local" / "share"))

        varno = subprocess.run([str(BUNDLE / "Contents" / "MacOS" / "VARNO"), "--no-mover"], env=env,
                               stdin=subprocess.DEVNULL, capture_output=True, timeout=900)

        hola = json.loads(pedir("/api/hola"))
        self.addCleanup(subprocess.run, ["kill", str(hola["pid"])], stderr=subprocess.DEVNULL)
        self.assertEqual(varno.returncode, 0, varno.stderr.decode(errors="replace"))
        version = (BUNDLE / "Contents" / "Resources" / "version.txt").read_text().strip()
        self.assertEqual((datos / "instalado.txt").read_text().strip(), version)
        self.assertEqual(hola["version"], version)
        self.assertIn(b'fetch("/api/hola")', pedir("/"))  # the page, from the engine's wheel
        registro = (datos / "instalacion.log").read_text()
        self.assertTrue(registro.startswith("VARNO %s: instalación " % version))
        # Real pip installed the bundle's wheel, and the engine that answers is that one.
        self.assertIn("Successfully installed varno-motor-%s" % version, registro)
        self.assertEqual(len(list((datos / "python").glob("lib/python3*/site-packages/varno_motor-%s.dist-info" % version))), 1)
        self.assertFalse((datos / "app" / "motor").exists())
        # An update stops the engine it replaces, so that the new one can serve.
        rc, lineas = instalar(casa, espejo, version="99.0")
        self.assertEqual((rc, "Se detiene el motor que estaba en marcha." in lineas), (0, True), "\n".join(lineas))
        with self.assertRaises(ProcessLookupError):
            os.kill(hola["pid"], 0)
