"""Maintenance from a terminal on a runtime installed from the offline mirror: a fresh one checks clean; its damage
is found by --verificar, mended offline by --reparar and gone at the next check; removal; the exit codes."""

import os, shutil, subprocess, sys, time, unittest

from comun import BUNDLE, RAIZ, construir_espejo, copiar_paquete, datos_de, instalar, sitio, temporal


def cambiar(ruta, como):
    ruta.write_text(como(ruta.read_text()))


class Mantenimiento(unittest.TestCase):
    def test_a_stack_of_real_shape_end_to_end(self):
        """5 000 files in ten libraries from the generator: installed offline, checked, damaged (files gone, one
        changed, one added, a file of the interpreter gone, the marker naming another version, a RECORD entry
        outside the runtime), mended, checked and removed, keeping the work and the logs."""
        base = temporal(self.enterContext)
        espejo = construir_espejo(base / "espejo-pila")
        subprocess.run([sys.executable, RAIZ / "scripts/generar_ruedas.py", "pequena", espejo], check=True,
                       stdout=subprocess.DEVNULL)
        bundle = base / "pila/VARNO.app"
        shutil.copytree(BUNDLE, bundle, symlinks=True)
        paquete = copiar_paquete(bundle / "Contents/Resources/paquete", (espejo / "requisitos.txt").read_text())
        casa, datos, antes = base / "pila", datos_de(base / "pila"), time.monotonic()

        def varno(*opciones):  # no display: a terminal run needs none
            (casa / "run").mkdir(mode=0o700, exist_ok=True)
            env = dict(PATH="/usr/bin:/bin", HOME=str(casa), XDG_RUNTIME_DIR=str(casa / "run"),
                       VARNO_ESPEJO=str(espejo), LANG="C.UTF-8")
            r = subprocess.run([bundle / "Contents/MacOS/VARNO", *opciones], env=env, stdin=subprocess.DEVNULL,
                               capture_output=True, timeout=600)
            return r.returncode, r.stdout.decode() + r.stderr.decode()

        rc, lineas = instalar(casa, espejo, paquete, version=(paquete.parent / "version.txt").read_text().strip())
        self.assertEqual(rc, 0, "\n".join(lineas))
        print("\n5 000 files installed in %.1f s" % (time.monotonic() - antes), file=sys.stderr)
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
        rc, salida = varno("--reparar")
        self.assertEqual((rc, "El motor quedó reparado." in salida), (0, True), salida)
        self.assertEqual(varno("--verificar")[0], 0)
        # Compiled again, from the mended source; what a compile cut short left is gone.
        self.assertEqual((compilados(), importar(), a_medias.exists()), ([], "False\n", False))
        (datos / "mesa.log").write_text("registro\n")
        self.assertEqual(varno("--verificar", "--eliminar-motor")[0], 2)
        rc, salida = varno("--eliminar-motor")
        self.assertEqual((rc, "El motor está en la Papelera" in salida), (0, True), salida)
        papelera = casa / ".local/share/Trash/files/Motor de VARNO"
        self.assertTrue((papelera / "python").is_dir() and (papelera / "instalado.txt").is_file())
        self.assertEqual(sorted(os.listdir(datos)), ["app", "instalacion.log", "mesa.log"])
        self.assertEqual(varno("--verificar"), (1, "El motor de VARNO no está instalado.\n"))


if __name__ == "__main__":
    unittest.main()
