"""The built program with the bundled installer and engine, from end to end:
an update from an older version installs against the offline mirror, opens
the engine and quits, leaving the engine answering."""

import json
import os
import signal
import subprocess
import tempfile
import time
import unittest
import urllib.request
from pathlib import Path

from comun import construir_espejo, datos_de

BUNDLE = Path(os.environ["VARNO_BUNDLE"])


def saludo():
    with urllib.request.urlopen("http://127.0.0.1:8770/api/hola", timeout=2) as r:
        return json.load(r)


class PuntaAPunta(unittest.TestCase):
    def test_update_installs_opens_the_engine_and_quits(self):
        with tempfile.TemporaryDirectory() as tmp:
            tmp = Path(tmp)
            espejo = construir_espejo(tmp / "espejo")
            casa = tmp / "casa"
            datos = datos_de(casa)
            # An older version is in place.
            (datos / "python" / "bin").mkdir(parents=True)
            viejo = datos / "python" / "bin" / "python"
            viejo.write_text("#!/bin/sh\nexit 1\n")
            viejo.chmod(0o755)
            (datos / "instalado.txt").write_text("0.1\n")

            env = dict(os.environ, HOME=str(casa), QT_QPA_PLATFORM="offscreen",
                       VARNO_ESPEJO=str(espejo), XDG_DATA_HOME=str(casa / ".local" / "share"))
            varno = subprocess.run([str(BUNDLE / "Contents" / "MacOS" / "VARNO"), "--no-mover"],
                                   env=env, stdin=subprocess.DEVNULL, capture_output=True,
                                   timeout=900)
            pid = None
            try:
                self.assertEqual(varno.returncode, 0, varno.stderr.decode(errors="replace"))
                version = (BUNDLE / "Contents" / "Resources" / "version.txt").read_text().strip()
                self.assertEqual((datos / "instalado.txt").read_text().strip(), version)
                hola = saludo()
                pid = hola.get("pid")
                self.assertEqual(hola["version"], version)
                registro = (datos / "instalacion.log").read_text()
                self.assertTrue(registro.startswith("VARNO %s: instalación " % version))
                self.assertIn("== 7/7", registro)
            finally:
                if pid is None:
                    try:
                        pid = saludo().get("pid")
                    except OSError:
                        pass
                if pid:
                    os.kill(pid, signal.SIGTERM)
                    for _ in range(50):
                        try:
                            os.kill(pid, 0)
                        except ProcessLookupError:
                            break
                        time.sleep(0.1)


if __name__ == "__main__":
    unittest.main()
