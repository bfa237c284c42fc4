"""The built program, installer and engine, offline, on a stack of real shape (5 000 files in ten libraries from the
generator): an update in the window, the hand-off; from a terminal, a check, damage found and mended (the engine
stopped), the engine's own checks, and the removal with the exit codes."""

import json, os, shutil, socket, subprocess, sys, time, unittest, urllib.error, urllib.request

from comun import BUNDLE, RAIZ, construir_espejo, copiar_paquete, datos_de, escribir, parar, sitio, temporal


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


def cambiar(ruta, como):
    ruta.write_text(como(ruta.read_text()))


class PuntaAPunta(unittest.TestCase):
    def test_a_stack_of_real_shape_end_to_end(self):
        tmp = temporal(self.enterContext)
        espejo = construir_espejo(tmp / "espejo")
        subprocess.run([sys.executable, RAIZ / "scripts/generar_ruedas.py", "pequena", espejo], check=True,
                       stdout=subprocess.DEVNULL)
        bundle = tmp / "VARNO.app"
        shutil.copytree(BUNDLE, bundle, symlinks=True)
        copiar_paquete(bundle / "Contents/Resources/paquete", (espejo / "requisitos.txt").read_text())
        casa = tmp / "casa"
        datos = datos_de(casa)
        # An older version is in place, and its engine's log holds an old failure.
        escribir(datos / "python/bin/python", "exit 1")
        (datos / "instalado.txt").write_text("0.1\n")
        (datos / "mesa.log").write_text("2020-01-01 00:00:00 Error: un fallo de otro día\n")
        mesa = lambda: (datos / "mesa.log").read_text(encoding="utf-8")
        errores = lambda: [l for l in mesa().splitlines() if "rror" in l]
        (casa / "run").mkdir(mode=0o700)
        # A proxy where nobody answers: VARNO's probe of the engine must not use it. VARNO sets VARNO_APP.
        ventana = dict(os.environ, HOME=str(casa), QT_QPA_PLATFORM="offscreen", VARNO_ESPEJO=str(espejo),
                       VARNO_APP="heredado", XDG_DATA_HOME=str(casa / ".local/share"),
                       http_proxy="http://127.0.0.1:9", HTTP_PROXY="http://127.0.0.1:9")
        terminal = dict(PATH="/usr/bin:/bin", HOME=str(casa), XDG_RUNTIME_DIR=str(casa / "run"),
                        VARNO_ESPEJO=str(espejo), LANG="C.UTF-8")  # no display: a terminal run needs none

        def varno(*opciones):
            """The window without options, else a terminal run; the output is captured until every process holding
            it ends: the engine must not hold it."""
            r = subprocess.run([bundle / "Contents/MacOS/VARNO", *(opciones or ["--no-mover"])], timeout=600,
                               env=terminal if opciones else ventana, stdin=subprocess.DEVNULL, capture_output=True)
            return r.returncode, (r.stdout + r.stderr).decode(errors="replace")

        antes = time.monotonic()
        rc, salida = varno()
        hola = json.loads(pedir("/api/hola"))
        self.addCleanup(parar, hola["pid"])
        self.assertEqual(rc, 0, salida)
        print("\n5 000 files installed in %.1f s" % (time.monotonic() - antes), file=sys.stderr)
        version = (bundle / "Contents/Resources/version.txt").read_text().strip()
        self.assertEqual(((datos / "instalado.txt").read_text().strip(), hola["version"], hola["app"]),
                         (version, version, str(bundle)))
        self.assertIn(b'fetch("/api/hola")', pedir("/", "LOCALHOST:8770"))  # the page, from the engine's wheel
        for anfitrion in ["127.0.0.1", "varno.example:8770", ""]:  # a page reached by DNS rebinding names its own
            with self.assertRaises(urllib.error.HTTPError) as refusal:
                pedir("/api/hola", anfitrion)
            self.assertEqual((refusal.exception.code, refusal.exception.read()), (421, b""))
        self.assertFalse((datos / "app" / "motor").exists())

        # The hand-off: started again, VARNO starts the engine once more and quits; that one steps aside.
        self.assertEqual(varno()[0], 0)
        retira = "Ya hay un motor en marcha (pid %d); este se retira." % hola["pid"]
        self.assertTrue(any(retira in mesa() or time.sleep(0.1) for _ in range(300)))
        self.assertEqual((quien(), errores()), (hola["pid"], []))

        # From a terminal: checked clean; then damaged (files gone, one changed, one added, a file of the interpreter
        # gone, the marker naming another version, a RECORD entry outside the runtime), found, mended, clean.
        self.assertEqual(varno("--verificar")[0], 0)
        modulos = sorted((m for m in (sitio(datos) / "tablas").rglob("*.py") if m.name != "__init__.py"), key=str)
        compilados = lambda: [m.name for m in modulos if not any(m.parent.glob("__pycache__/%s.*.pyc" % m.stem))]
        self.assertEqual(compilados(), [])
        for m in modulos[:2]:
            m.unlink()
        # Its first line, a docstring, becomes code of the same size, which Python then compiles and keeps.
        cambiar(modulos[2], lambda t: "DANADO = 1".ljust(t.index("\n"), "#") + t[t.index("\n"):])
        importar = lambda: subprocess.run(
            [datos / "python/bin/python", "-I", "-c", "import %s as m; print(hasattr(m, 'DANADO'))" % ".".join(
                modulos[2].relative_to(sitio(datos)).with_suffix("").parts)], capture_output=True, text=True).stdout
        self.assertEqual(importar(), "True\n")
        (modulos[0].parent / "anadido.py").write_text("X = 1\n")
        a_medias = modulos[3].parent / "__pycache__" / "m.cpython-311.pyc.1234"  # what a kill leaves in a compile
        a_medias.write_bytes(b"")
        (datos / "python/pyvenv.cfg").unlink()
        (datos / "instalado.txt").write_text("0.9\n")
        cambiar(next(sitio(datos).glob("varno_motor-*.dist-info")) / "RECORD",
                lambda t: t + "../../../../../../../../../etc/hostname,,\n")
        rc, salida = varno("--verificar")
        self.assertEqual(rc, 1, salida)
        for m, dice in [(modulos[0], "falta"), (modulos[1], "falta"), (modulos[2], "su contenido cambió")]:
            self.assertIn("%s: %s" % (m.relative_to(sitio(datos)), dice), salida)
        for dice in ["Python: python/pyvenv.cfg: falta", "La marca de instalación", "etc/hostname"]:
            self.assertIn(dice, salida)
        self.assertNotIn("anadido.py", salida)  # a file no RECORD lists is not looked at
        # The repair's installer stops the engine it replaces, so that the new one can serve.
        rc, salida = varno("--reparar")
        self.assertEqual((rc, "El motor quedó reparado." in salida), (0, True), salida)
        self.assertIn("Se detiene el motor que estaba en marcha.", (datos / "instalacion.log").read_text())
        with self.assertRaises(ProcessLookupError):
            os.kill(hola["pid"], 0)
        self.assertEqual(varno("--verificar")[0], 0)
        # Compiled again, from the mended source; what a compile cut short left is gone.
        self.assertEqual((compilados(), importar(), a_medias.exists()), ([], "False\n", False))

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

        # Removed to the Trash once nothing answers on the port, the work and the logs kept; the exit codes.
        parar(pid)
        self.assertEqual(varno("--verificar", "--eliminar-motor")[0], 2)
        rc, salida = varno("--eliminar-motor")
        self.assertEqual((rc, "El motor está en la Papelera" in salida), (0, True), salida)
        papelera = casa / ".local/share/Trash/files/Motor de VARNO"
        self.assertTrue((papelera / "python").is_dir() and (papelera / "instalado.txt").is_file())
        self.assertEqual(sorted(os.listdir(datos)), ["app", "instalacion.log", "mesa.log", "mesa.log.1",
                                                      "motor-salida.log"])
        self.assertEqual(varno("--verificar"), (1, "El motor de VARNO no está instalado.\n"))
