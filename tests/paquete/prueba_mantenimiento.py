"""Maintenance from a terminal on runtimes installed from the offline mirror: a fresh one checks clean; each damage
is found by --verificar, mended offline by --reparar and gone at the next check; removal; the exit codes."""

import os, shutil, subprocess, sys, time, unittest

from comun import BUNDLE, RAIZ, construir_espejo, copiar_paquete, datos_de, instalar, sitio, temporal


def varno(casa, espejo, *opciones, bundle=BUNDLE):
    (casa / "run").mkdir(mode=0o700, exist_ok=True)
    env = dict(PATH="/usr/bin:/bin", HOME=str(casa), XDG_RUNTIME_DIR=str(casa / "run"),
               VARNO_ESPEJO=str(espejo), LANG="C.UTF-8")  # no display: a terminal run needs none
    r = subprocess.run([bundle / "Contents/MacOS/VARNO", *opciones], env=env, stdin=subprocess.DEVNULL,
                       capture_output=True, timeout=600)
    return r.returncode, r.stdout.decode() + r.stderr.decode()


record_del_motor = lambda datos: next(sitio(datos).glob("varno_motor-*.dist-info")) / "RECORD"


def cambiar(ruta, como):
    ruta.write_text(como(ruta.read_text()))


class Mantenimiento(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.base = temporal(cls.enterClassContext)
        cls.espejo = construir_espejo(cls.base / "espejo")

    def instalado(self, nombre):  # installed where it stays: the commands name the folder they were made in
        casa = self.base / nombre
        rc, lineas = instalar(casa, self.espejo, BUNDLE / "Contents/Resources/paquete",
                              version=(BUNDLE / "Contents/Resources/version.txt").read_text().strip())
        self.assertEqual(rc, 0, "\n".join(lineas))
        return casa, datos_de(casa)

    def test_each_damage_is_found_mended_offline_and_gone(self):
        casos = [  # name, the damage, what --verificar names
            ("a file deleted", lambda d: (d / "python/pyvenv.cfg").unlink(), "Python: python/pyvenv.cfg: falta"),
            ("the marker naming another version", lambda d: (d / "instalado.txt").write_text("0.9\n"),
             "La marca de instalación"),
            ("an entry outside the runtime",
             lambda d: cambiar(record_del_motor(d), lambda t: t + "../../../../../../../../../etc/hostname,,\n"),
             "etc/hostname"),
        ]
        for i, (nombre, danar, dice) in enumerate(casos):
            with self.subTest(nombre):
                casa, datos = self.instalado("c%d" % i)
                danar(datos)
                rc, salida = varno(casa, self.espejo, "--verificar")
                self.assertEqual(rc, 1, salida)
                self.assertIn(dice, salida)
                rc, salida = varno(casa, self.espejo, "--reparar")
                self.assertEqual((rc, "El motor quedó reparado." in salida), (0, True), salida)
                self.assertEqual(varno(casa, self.espejo, "--verificar")[0], 0)

    def test_removal_keeps_the_work_and_the_logs_and_the_exit_codes(self):
        casa, datos = self.instalado("quitar")
        (datos / "mesa.log").write_text("registro\n")
        self.assertEqual(varno(casa, self.espejo, "--verificar", "--eliminar-motor")[0], 2)
        rc, salida = varno(casa, self.espejo, "--eliminar-motor")
        self.assertEqual(rc, 0, salida)
        self.assertIn("El motor está en la Papelera", salida)
        papelera = casa / ".local/share/Trash/files/Motor de VARNO"
        self.assertTrue((papelera / "python").is_dir() and (papelera / "instalado.txt").is_file())
        self.assertEqual(sorted(os.listdir(datos)), ["app", "mesa.log"])
        self.assertEqual(varno(casa, self.espejo, "--verificar"), (1, "El motor de VARNO no está instalado.\n"))

    def test_a_stack_of_real_shape_end_to_end(self):
        """5 000 files in ten libraries from the generator: installed offline, checked, damaged (files gone, one
        changed, one added), mended, checked and removed."""
        espejo = construir_espejo(self.base / "espejo-pila")
        subprocess.run([sys.executable, RAIZ / "scripts/generar_ruedas.py", "pequena", espejo], check=True,
                       stdout=subprocess.DEVNULL)
        bundle = self.base / "pila/VARNO.app"
        shutil.copytree(BUNDLE, bundle, symlinks=True)
        paquete = copiar_paquete(bundle / "Contents/Resources/paquete", (espejo / "requisitos.txt").read_text())
        casa, datos, antes = self.base / "pila", datos_de(self.base / "pila"), time.monotonic()
        rc, lineas = instalar(casa, espejo, paquete, version=(paquete.parent / "version.txt").read_text().strip())
        self.assertEqual(rc, 0, "\n".join(lineas))
        print("\n5 000 files installed in %.1f s" % (time.monotonic() - antes), file=sys.stderr)
        self.assertEqual(varno(casa, espejo, "--verificar", bundle=bundle)[0], 0)
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
        rc, salida = varno(casa, espejo, "--verificar", bundle=bundle)
        self.assertEqual(rc, 1, salida)
        for m, dice in [(modulos[0], "falta"), (modulos[1], "falta"), (modulos[2], "su contenido cambió")]:
            self.assertIn("%s: %s" % (m.relative_to(sitio(datos)), dice), salida)
        self.assertNotIn("anadido.py", salida)  # a file no RECORD lists is not looked at
        rc, salida = varno(casa, espejo, "--reparar", bundle=bundle)
        self.assertEqual((rc, "El motor quedó reparado." in salida), (0, True), salida)
        self.assertEqual(varno(casa, espejo, "--verificar", bundle=bundle)[0], 0)
        # Compiled again, from the mended source; what a compile cut short left is gone.
        self.assertEqual((compilados(), importar(), a_medias.exists()), ([], "False\n", False))
        rc, salida = varno(casa, espejo, "--eliminar-motor", bundle=bundle)
        self.assertEqual(rc, 0, salida)
        self.assertEqual(sorted(os.listdir(datos)), ["app", "instalacion.log"])


if __name__ == "__main__":
    unittest.main()
