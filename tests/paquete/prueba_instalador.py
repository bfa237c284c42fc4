"""The installer script run on its own, offline, in a temporary HOME."""

import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from comun import (ARCHIVO_INTERFAZ, ConTemporal, cabeceras, construir_espejo, construir_rueda,
                   copiar_paquete, datos_de, instalar)

TITULOS = ["Preparando", "Python", "ffmpeg", "El gestor de paquetes", "Las bibliotecas",
           "La aplicación", "Comprobación final"]


def titulo(cabecera):
    # As the window shows it: after "N/7 ", without a remark in parentheses.
    return cabecera.split("/7", 1)[1].strip().split(" (", 1)[0]


class ConInstalacionBase(ConTemporal):
    """One real installation made once; each case works on a copy of it."""

    @classmethod
    def setUpClass(cls):
        cls.base = Path(tempfile.mkdtemp(prefix="varno-base-"))
        # A space in the mirror's path, as in "Application Support".
        cls.espejo_base = construir_espejo(cls.base / "espejo local")
        cls.casa_base = cls.base / "casa"
        cls.casa_base.mkdir()
        cls.rc_base, cls.lineas_base = instalar(cls.casa_base, cls.espejo_base)
        if cls.rc_base != 0:
            raise AssertionError("la instalación base falló:\n" + "\n".join(cls.lineas_base))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.base, True)

    def copia(self, nombre, sin_aplicacion=False, marca=None):
        """A HOME holding the base installation; without the engine, step 6
        has to download again."""
        casa = self.tmp / nombre
        shutil.copytree(self.casa_base, casa, symlinks=True)
        datos = datos_de(casa)
        if sin_aplicacion:
            shutil.rmtree(datos / "app")
            (datos / ".pasos" / "aplicacion").unlink()
        if marca is not None:
            (datos / "instalado.txt").write_text(marca)
        return casa

    def espejo(self, nombre="espejo"):
        return construir_espejo(self.tmp / nombre)


class Instalacion(ConInstalacionBase):
    def test_seven_steps_in_order_and_marker_written_last(self):
        self.assertEqual([c[:7] for c in cabeceras(self.lineas_base)], ["== %d/7 " % n for n in range(1, 8)])
        self.assertEqual([titulo(c) for c in cabeceras(self.lineas_base)], TITULOS)

        datos = datos_de(self.casa_base)
        self.assertEqual((datos / "instalado.txt").read_text(), "1.0.0\n")
        self.assertTrue(os.access(datos / "python" / "bin" / "python", os.X_OK))
        self.assertTrue((datos / "app" / "motor" / "__main__.py").is_file())
        self.assertTrue((datos / "app" / "interfaz" / "index.html").is_file())

        marca = (datos / "instalado.txt").stat().st_mtime_ns
        posteriores = [str(r) for r in datos.rglob("*")
                       if r.is_file() and not r.is_symlink() and r.stat().st_mtime_ns > marca]
        self.assertEqual(posteriores, [])
        # Nothing half-done is left behind.
        restos = [r.name for r in datos.rglob("*") if r.name.endswith(".parcial") or r.name.startswith(".tmp.")]
        self.assertEqual(restos, [])
        self.assertFalse((datos / "descargas").exists())

    def test_rerun_skips_finished_steps_without_downloading(self):
        casa = self.copia("casa")
        datos = datos_de(casa)
        entorno = (datos / "python" / "pyvenv.cfg").stat().st_ino
        vacio = self.tmp / "vacio"
        vacio.mkdir()  # a mirror with nothing in it: any download would fail

        rc, lineas = instalar(casa, vacio, version="1.0.1")

        self.assertEqual(rc, 0, "\n".join(lineas))
        self.assertIn("Había instalada la versión 1.0.0; se pone al día.", lineas)
        self.assertIn("Python ya estaba instalado.", lineas)
        self.assertIn("La aplicación ya estaba al día.", lineas)
        self.assertEqual((datos / "python" / "pyvenv.cfg").stat().st_ino, entorno)
        self.assertEqual((datos / "instalado.txt").read_text(), "1.0.1\n")

    def test_changed_engine_is_installed_again(self):
        casa = self.copia("casa")
        origen = copiar_paquete(self.tmp / "paquete")
        (origen / "app" / "motor" / "extra.py").write_text("NUEVO = True\n")

        rc, lineas = instalar(casa, self.espejo(), origen=origen)

        self.assertEqual(rc, 0, "\n".join(lineas))
        self.assertNotIn("La aplicación ya estaba al día.", lineas)
        self.assertTrue((datos_de(casa) / "app" / "motor" / "extra.py").is_file())


class Descargas(ConInstalacionBase):
    """What a run finds in the downloads folder, and what it makes of it."""

    def test_leftovers_of_an_earlier_run(self):
        casos = [
            # name, prepare(partial, final, mirror file, real bytes), line expected, line not expected
            ("resumes a partial file",
             lambda parcial, final, espejo, real: self.a_medias(parcial, espejo, real),
             "Se reanuda la descarga", "dañado"),
            ("complete but wrong partial file is fetched again",
             lambda parcial, final, espejo, real: parcial.write_bytes(b"x" * len(real)),
             "estaba dañado; se descarga de nuevo", None),
            ("partial longer than the file is started over",
             lambda parcial, final, espejo, real: parcial.write_bytes(real + b"de sobra"),
             "se empieza de nuevo", None),
            ("damaged finished download is fetched again",
             lambda parcial, final, espejo, real: final.write_bytes(b"y" * len(real)),
             "Descargando la interfaz del motor…", "Se usa lo ya descargado"),
            ("good finished download is used as it is",
             lambda parcial, final, espejo, real: (final.write_bytes(real), espejo.unlink()),
             "Se usa lo ya descargado de la interfaz del motor.", "Descargando"),
        ]
        for i, (nombre, preparar, esperada, ausente) in enumerate(casos):
            with self.subTest(nombre):
                casa = self.copia("casa%d" % i, sin_aplicacion=True)
                espejo = self.espejo("espejo%d" % i)
                descargas = datos_de(casa) / "descargas"
                descargas.mkdir()
                real = (espejo / ARCHIVO_INTERFAZ).read_bytes()
                preparar(descargas / (ARCHIVO_INTERFAZ + ".parcial"), descargas / ARCHIVO_INTERFAZ,
                         espejo / ARCHIVO_INTERFAZ, real)

                # Half of the cases name the mirror by URL, as a user may.
                rc, lineas = instalar(casa, espejo.as_uri() if i % 2 else espejo)

                self.assertEqual(rc, 0, "\n".join(lineas))
                self.assertTrue(any(esperada in l for l in lineas), "\n".join(lineas))
                if ausente:
                    self.assertFalse(any(ausente in l for l in lineas), "\n".join(lineas))
                app = datos_de(casa) / "app"
                self.assertTrue((app / "interfaz" / "index.html").is_file())
                self.assertFalse(descargas.exists())

    @staticmethod
    def a_medias(parcial, espejo, real):
        # The mirror's first half is replaced by other bytes: only a download
        # that really goes on from the partial file ends with the right sum.
        mitad = len(real) // 2
        parcial.write_bytes(real[:mitad])
        espejo.write_bytes(b"z" * mitad + real[mitad:])


def anadir(ruta, datos):
    with open(ruta, "ab") as f:
        f.write(datos)


class Fallos(ConInstalacionBase):
    def test_failures_are_told_and_never_leave_a_marker_of_a_changed_installation(self):
        # The marker of the earlier version goes as soon as anything changes;
        # a run stopped before that leaves the old installation as it was.
        casos = [
            ("checksum mismatch",
             lambda espejo: anadir(espejo / ARCHIVO_INTERFAZ, b"!"), None,
             "La descarga de la interfaz del motor no coincide con su suma SHA-256; se ha descartado.", None),
            ("file missing from the mirror",
             lambda espejo: (espejo / ARCHIVO_INTERFAZ).unlink(), None,
             "No se pudo descargar la interfaz del motor: el archivo no existe.", None),
            ("mirror missing",
             lambda espejo: shutil.rmtree(espejo), None,
             "No se encuentra el espejo local", "0.9.0\n"),
            ("library not in the wheel folder",
             lambda espejo: None, "biblioteca-que-no-existe==1.0\n",
             "No se pudieron instalar las bibliotecas", None),
        ]
        for i, (nombre, estropear, requisitos, esperada, marca) in enumerate(casos):
            with self.subTest(nombre):
                casa = self.copia("casa%d" % i, sin_aplicacion=True, marca="0.9.0\n")
                espejo = self.espejo("espejo%d" % i)
                origen = copiar_paquete(self.tmp / ("paquete%d" % i), requisitos)
                estropear(espejo)

                rc, lineas = instalar(casa, espejo, origen=origen)

                self.assertNotEqual(rc, 0, "\n".join(lineas))
                self.assertFalse(lineas[-1].startswith("== "), lineas[-1])
                self.assertIn(esperada, lineas[-1])
                datos = datos_de(casa)
                marcador = datos / "instalado.txt"
                self.assertEqual(marcador.read_text() if marcador.exists() else None, marca)
                self.assertEqual(list(datos.rglob("*.parcial")), [])
                self.assertFalse((datos / "descargas" / ARCHIVO_INTERFAZ).exists())


class EntornoHostil(ConTemporal):
    def test_misleading_environment_stays_out_and_libraries_come_from_the_mirror(self):
        espejo = construir_espejo(self.tmp / "espejo")
        construir_rueda(espejo / "ruedas")
        origen = copiar_paquete(self.tmp / "paquete", "# la biblioteca de prueba\nvarno-prueba==1.0\n")
        trampa = self.tmp / "trampa"
        trampa.mkdir()
        (trampa / "sitecustomize.py").write_text("raise SystemExit('PYTHONPATH se coló')\n")
        # A df that reports 1 GB free: the script warns and goes on.
        falso = self.tmp / "falso"
        falso.mkdir()
        (falso / "df").write_text("#!/bin/sh\necho 'Filesystem 1024-blocks Used Available Capacity Mounted'\n"
                                  "echo '/dev/x 9999999 1 1048576 1% /'\n")
        (falso / "df").chmod(0o755)
        casa = self.tmp / "casa"
        casa.mkdir()
        entorno = {
            "PYTHONPATH": str(trampa),
            "PYTHONHOME": "/no/existe",
            "PYTHONUSERBASE": str(self.tmp / "usuario"),
            "PIP_TARGET": str(self.tmp / "fuera"),
            "PIP_USER": "1",
        }

        rc, lineas = instalar(casa, espejo, origen=origen, entorno=entorno,
                              ruta="%s:/usr/bin:/bin:/usr/sbin:/sbin" % falso)

        self.assertEqual(rc, 0, "\n".join(lineas))
        self.assertTrue(any(l.startswith("Aviso: solo quedan 1,0 GB libres") for l in lineas), "\n".join(lineas))
        python = datos_de(casa) / "python" / "bin" / "python"
        donde = subprocess.run([str(python), "-I", "-c", "import varno_prueba; print(varno_prueba.__file__)"],
                               stdout=subprocess.PIPE, check=True, env={}).stdout.decode().strip()
        self.assertTrue(donde.startswith(str(datos_de(casa) / "python")), donde)
        self.assertFalse((self.tmp / "fuera").exists())
        self.assertFalse((self.tmp / "usuario").exists())

        # The same libraries are not installed twice.
        rc, lineas = instalar(casa, espejo, origen=origen)
        self.assertEqual(rc, 0, "\n".join(lineas))
        self.assertIn("Las bibliotecas ya estaban instaladas.", lineas)


if __name__ == "__main__":
    unittest.main()
