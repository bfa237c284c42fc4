"""The package for macOS, checked here: the manifest, the bundle's Info.plist,
and signing and notarization run against stand-ins for Apple's tools."""

import os
import plistlib
import subprocess
from urllib.parse import urlsplit

from comun import BUNDLE, PAQUETE, RAIZ, ConTemporal, sustituto

IMITACION = """echo "$(basename "$0") $*" >>"$REGISTRO"
case "$(basename "$0") $*" in "$FALLA"*) exit 1 ;; esac
[ "$1" != notarytool ] || printf '  id: 1234\\n  status: %s\\n' "$ESTADO"
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

    def test_signing_inside_out_and_notarization_stop_at_the_failing_step(self):
        app, dmg = self.tmp / "VARNO.app", self.tmp / "VARNO.dmg"
        for ruta in ["MacOS/VARNO", "Frameworks/QtCore.framework/QtCore", "Frameworks/libextra.dylib",
                     "PlugIns/platforms/libqcocoa.dylib", "Resources/qt.conf"]:
            (app / "Contents" / ruta).parent.mkdir(parents=True, exist_ok=True)
            (app / "Contents" / ruta).write_text("")
        dmg.write_text("")
        for nombre in ["codesign", "xcrun", "spctl"]:
            sustituto(self.tmp, nombre, IMITACION)
        rutas = [str(app / "Contents" / p) for p in ["Frameworks/QtCore.framework", "Frameworks/libextra.dylib",
                                                     "PlugIns/platforms/libqcocoa.dylib"]] + [str(app)]
        identidad = "Developer ID Application: Ejemplo (ABCDE12345)"
        firma = lambda *a: ["cmake", "-DBUNDLE=%s" % app, *a, "-P", str(RAIZ / "cmake" / "firma.cmake")]
        notarizar = ["bash", str(RAIZ / "scripts" / "notarizar.sh"), str(dmg), "perfil"]
        ad_hoc = ["codesign --force --sign - " + r for r in rutas]
        verificar = ["codesign --verify --deep --strict %s" % app]
        pasos = ["xcrun notarytool submit %s --keychain-profile perfil --wait" % dmg, "xcrun stapler staple %s" % dmg,
                 "spctl --assess --type open --context context:primary-signature -v %s" % dmg]
        casos = [  # name, command, stand-in that fails, notarization's verdict, calls expected, line told
            ("ad hoc", firma(), "", "", ad_hoc + verificar, ""),
            ("identity", firma("-DIDENTIDAD=" + identidad), "", "",
             ["codesign --force --sign %s --options runtime --timestamp %s" % (identidad, r) for r in rutas] + verificar, ""),
            ("disk image", firma("-DCPACK_PACKAGE_FILES=%s" % dmg, "-DCPACK_VARNO_FIRMA=" + identidad), "", "",
             ["codesign --force --sign %s --timestamp %s" % (identidad, dmg)], ""),
            ("codesign fails", firma(), ad_hoc[1], "", ad_hoc[:2], "codesign failed on"),
            ("notarized", notarizar, "", "Accepted", pasos, "Imagen notarizada: %s" % dmg),
            ("notarytool fails", notarizar, "xcrun notarytool", "Accepted", pasos[:1],
             "No se pudo enviar la imagen a notarizar (notarytool terminó con el código 1)."),
            ("refused", notarizar, "", "Invalid", pasos[:1],
             "Apple no aceptó la imagen; el informe: xcrun notarytool log 1234 --keychain-profile perfil"),
            ("stapler fails", notarizar, "xcrun stapler", "Accepted", pasos[:2],
             "No se pudo grapar el ticket de notarización a la imagen."),
            ("spctl fails", notarizar, "spctl", "Accepted", pasos, "Gatekeeper no acepta la imagen notarizada."),
        ]
        for nombre, orden, falla, veredicto, esperadas, linea in casos:
            with self.subTest(nombre):
                (self.tmp / "registro").write_text("")
                r = subprocess.run(orden, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, env=dict(
                    os.environ, PATH="%s/bin:%s" % (self.tmp, os.environ["PATH"]), REGISTRO=str(self.tmp / "registro"),
                    FALLA=falla or "\t", ESTADO=veredicto))
                llamadas = (self.tmp / "registro").read_text().splitlines()
                self.assertEqual((r.returncode == 0, llamadas), (not falla and veredicto != "Invalid", esperadas), r.stdout)
                self.assertIn(linea, r.stdout)
