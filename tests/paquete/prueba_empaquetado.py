"""The package for macOS, checked here: the manifest, the bundle's Info.plist,
and signing and notarization run against stand-ins for Apple's tools."""

import os
import plistlib
import subprocess
from urllib.parse import urlsplit

from comun import BUNDLE, PAQUETE, RAIZ, ConTemporal

IMITACION = """#!/bin/sh
echo "$(basename "$0") $*" >>"$REGISTRO"
case "$(basename "$0") $*" in "$FALLA"*) exit 1 ;; esac
[ "$1" != notarytool ] || printf '  id: 1234\\n  status: %s\\n' "${ESTADO:-Accepted}"
"""


class Empaquetado(ConTemporal):
    def test_manifest_lists_only_pinned_third_party_files(self):
        for linea in (PAQUETE / "manifiesto.txt").read_text().splitlines():
            if linea.strip() and not linea.startswith("#"):
                nombre, _, suma, url = linea.split()[:4]
                self.assertRegex(suma, "^[0-9a-f]{64}$", nombre)
                self.assertEqual(urlsplit(url).scheme, "https", nombre)
                self.assertNotIn("varno", urlsplit(url).hostname.lower(), nombre)

    def test_info_plist(self):
        with open(BUNDLE / "Contents" / "Info.plist", "rb") as f:
            plist = plistlib.load(f)
        version = (BUNDLE / "Contents" / "Resources" / "version.txt").read_text().strip()
        esperado = dict(CFBundleIdentifier="app.varno.lanzador", CFBundleName="VARNO", CFBundleDisplayName="VARNO",
                        CFBundleExecutable="VARNO", CFBundlePackageType="APPL", CFBundleShortVersionString=version,
                        CFBundleVersion=version, NSHighResolutionCapable=True, NSPrincipalClass="NSApplication")
        self.assertEqual({k: plist.get(k) for k in esperado}, esperado)
        self.assertTrue((BUNDLE / "Contents" / "MacOS" / plist["CFBundleExecutable"]).is_file())

    def correr(self, orden, falla="", **entorno):
        """Runs `orden` with stand-ins for codesign, xcrun and spctl; returns its status, its last line
        and the calls they got, one line each."""
        herramientas, registro = self.tmp / "bin", self.tmp / "registro"
        herramientas.mkdir(exist_ok=True)
        registro.write_text("")
        for nombre in ["codesign", "xcrun", "spctl"]:
            (herramientas / nombre).write_text(IMITACION)
            (herramientas / nombre).chmod(0o755)
        env = dict(os.environ, PATH="%s:%s" % (herramientas, os.environ["PATH"]), REGISTRO=str(registro),
                   FALLA=falla or "\t", **entorno)
        r = subprocess.run(orden, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        return r.returncode, (r.stdout.splitlines() or [""])[-1], registro.read_text().splitlines()

    def test_signing_goes_inside_out_and_stops_at_a_failure(self):
        app = self.tmp / "VARNO.app"
        for ruta in ["MacOS/VARNO", "Frameworks/QtCore.framework/QtCore", "Frameworks/libextra.dylib",
                     "PlugIns/platforms/libqcocoa.dylib", "Resources/qt.conf"]:
            (app / "Contents" / ruta).parent.mkdir(parents=True, exist_ok=True)
            (app / "Contents" / ruta).write_text("")
        rutas = [str(app / "Contents" / p) for p in ["Frameworks/QtCore.framework", "Frameworks/libextra.dylib",
                                                     "PlugIns/platforms/libqcocoa.dylib"]] + [str(app)]
        identidad = "Developer ID Application: Ejemplo (ABCDE12345)"
        dmg = self.tmp / "VARNO-1.0.0-Darwin.dmg"
        ad_hoc = ["codesign --force --sign - " + r for r in rutas]
        verificar = ["codesign --verify --deep --strict %s" % app]
        casos = [  # name, cmake arguments, stand-in that fails, calls expected
            ("ad hoc", [], "", ad_hoc + verificar),
            ("identity", ["-DIDENTIDAD=" + identidad], "",
             ["codesign --force --sign %s --options runtime --timestamp %s" % (identidad, r) for r in rutas] + verificar),
            ("disk image", ["-DCPACK_PACKAGE_FILES=%s" % dmg, "-DCPACK_VARNO_FIRMA=" + identidad], "",
             ["codesign --force --sign %s --timestamp %s" % (identidad, dmg)]),
            ("codesign fails", [], ad_hoc[1], ad_hoc[:2]),
        ]
        for nombre, argumentos, falla, esperadas in casos:
            with self.subTest(nombre):
                rc, _, llamadas = self.correr(["cmake", "-DBUNDLE=%s" % app, *argumentos, "-P",
                                               str(RAIZ / "cmake" / "firma.cmake")], falla)
                self.assertEqual((rc == 0, llamadas), (not falla, esperadas))

    def test_notarization_stops_with_one_line_at_the_failing_step(self):
        dmg = self.tmp / "VARNO.dmg"
        dmg.write_text("")
        pasos = ["xcrun notarytool submit %s --keychain-profile perfil --wait" % dmg, "xcrun stapler staple %s" % dmg,
                 "spctl --assess --type open --context context:primary-signature -v %s" % dmg]
        casos = [  # stand-in that fails, result of the submission, calls made, last line
            ("", "Accepted", 3, "Imagen notarizada: %s" % dmg),
            ("xcrun notarytool", "Accepted", 1, "No se pudo enviar la imagen a notarizar (notarytool terminó con el código 1)."),
            ("", "Invalid", 1, "Apple no aceptó la imagen; el informe: xcrun notarytool log 1234 --keychain-profile perfil"),
            ("xcrun stapler", "Accepted", 2, "No se pudo grapar el ticket de notarización a la imagen."),
            ("spctl", "Accepted", 3, "Gatekeeper no acepta la imagen notarizada."),
        ]
        for falla, estado, hechos, ultima in casos:
            with self.subTest(falla or estado):
                rc, linea, llamadas = self.correr(["bash", str(RAIZ / "scripts" / "notarizar.sh"), str(dmg), "perfil"],
                                                  falla, ESTADO=estado)
                self.assertEqual((rc == 0, linea, llamadas), (hechos == 3 and not falla, ultima, pasos[:hechos]))
