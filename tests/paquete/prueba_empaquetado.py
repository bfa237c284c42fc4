"""The package for macOS: the manifest, Info.plist, the engine's wheel, signing and notarization."""

import os, plistlib, subprocess, unittest, zipfile

from comun import BUNDLE, RAIZ, escribir, temporal

IMITACION = """echo "$(basename "$0") $*" >>"$REGISTRO"
case "$(basename "$0") $*" in "$FALLA"*) exit 1 ;; esac
[ "$1" != notarytool ] || printf '  id: 1234\\n  status: %s\\n' "$ESTADO"
"""


def con_imitaciones(tmp, orden, **entorno):
    """A command (a list, or a CMake script by its path), with the stand-ins in tmp/bin first on PATH."""
    return subprocess.run(orden if isinstance(orden, list) else ["cmake", "-P", orden], capture_output=True, text=True,
                          env=dict(os.environ, PATH="%s/bin:%s" % (tmp, os.environ["PATH"]), **entorno))


class Empaquetado(unittest.TestCase):
    def test_manifest_lists_only_pinned_third_party_files(self):
        for linea in (RAIZ / "paquete/manifiesto.txt").read_text().splitlines():
            if linea.strip() and not linea.startswith("#"):
                self.assertRegex(linea, r"^\S+\s+\S+\s+[0-9a-f]{64}\s+https://(?![^/]*(?i:varno))[^/\s]+/\S")
        for linea in (RAIZ / "paquete/requisitos.txt").read_text().splitlines():  # a library: every file's hash
            if linea.strip() and not linea.startswith("#"):
                self.assertRegex(linea, r"^[\w.-]+==[\w.!+-]+( --hash=sha256:[0-9a-f]{64})+$")

    def test_info_plist_names_the_bundle_as_built(self):
        plist = plistlib.loads((BUNDLE / "Contents/Info.plist").read_bytes())
        version = (BUNDLE / "Contents/Resources/version.txt").read_text().strip()
        self.assertTrue((BUNDLE / "Contents/MacOS" / plist["CFBundleExecutable"]).is_file())
        self.assertEqual((plist["CFBundleVersion"], plist["CFBundleShortVersionString"]), (version, version))
        # The lowest macOS is the one value the compiler is given on a Mac.
        self.assertIn("VARNO_MACOS_MINIMO:INTERNAL=%s\n" % plist["LSMinimumSystemVersion"],
                      (BUNDLE.parent / "CMakeCache.txt").read_text())

    def test_what_a_mac_build_is_for_is_chosen_from_the_qt_it_will_find(self):
        """Before the compiler is looked at: the lowest macOS and the slices, from Qt's version and lipo's."""
        tmp = temporal(self.enterContext)
        escribir(tmp / "bin/lipo", 'echo "$ARQUITECTURAS"')
        casos = [  # Qt's version (none: no Qt), lipo's answer, what the builder gave, the choice
            ("6.4.2", "x86_64 arm64", [], "11.0 arm64;x86_64"), ("6.8.1", "arm64", [], "12.0 arm64"),
            ("6.10.0", "x86_64h arm64", ["-DCMAKE_OSX_DEPLOYMENT_TARGET=14.0"], "14.0 arm64;x86_64"),
            ("6.5.3", "arm64 x86_64", ["-DCMAKE_OSX_DEPLOYMENT_TARGET=10.15", "-DCMAKE_OSX_ARCHITECTURES=arm64"],
             "11.0 arm64"), ("", "arm64", [], "No Qt 6 found yet")]
        for version, lipo, dados, eleccion in casos:
            with self.subTest(version or "no Qt"):
                if version:
                    escribir(tmp / version / "lib/cmake/Qt6/Qt6ConfigVersion.cmake",
                             b'set(PACKAGE_VERSION "%s")\n' % version.encode())
                r = con_imitaciones(tmp, ["cmake", *dados, "-P", RAIZ / "cmake/macos.cmake"], ARQUITECTURAS=lipo,
                                    CMAKE_PREFIX_PATH="/nada:%s" % (tmp / version))
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertIn(eleccion, r.stdout + r.stderr)

    def test_a_disk_image_without_the_finder_gets_the_plain_layout(self):
        """cpack reads this file before it packages: without the Finder, no layout script and one line."""
        tmp = temporal(self.enterContext)
        casos = [  # generator, what osascript does, the layout script kept, the line told
            ("DragNDrop", "exit 0", True, ""), ("TGZ", "exit 1", True, ""),
            ("DragNDrop", "echo 'execution error: Not authorized to send Apple events to Finder. (-1743)' >&2; "
             "exit 1", False, "(execution error: Not authorized to send Apple events to Finder. (-1743)); "
             "the disk image gets its plain layout."),
            ("DragNDrop", "exec sleep 30", False, "(osascript: Process terminated due to timeout); the disk")]
        for generador, osascript, guardado, linea in casos:
            with self.subTest(generador + " " + osascript):
                escribir(tmp / "bin/osascript", osascript)
                (tmp / "g.cmake").write_text(  # cpack sets its variables as plain ones, not in the cache
                    'set(CPACK_GENERATOR %s)\nset(CPACK_DMG_DS_STORE_SETUP_SCRIPT /disposicion)\n'
                    'set(CPACK_VARNO_FINDER_SEGUNDOS 2)\ninclude("%s")\n'
                    'message("script: ${CPACK_DMG_DS_STORE_SETUP_SCRIPT}")\n'
                    % (generador, RAIZ / "cmake/cpack-proyecto.cmake"))
                dicho = con_imitaciones(tmp, tmp / "g.cmake").stderr.splitlines()
                self.assertEqual((dicho[-1], len(dicho)), ("script: " + "/disposicion" * guardado, 2 - guardado))
                self.assertIn(linea, dicho[0])

    def test_a_builder_without_googletest_still_configures(self):
        carpeta = temporal(self.enterContext) / "build"
        r = subprocess.run(["cmake", "-S", RAIZ, "-B", carpeta, "-G", "Ninja", "-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON"],
                           capture_output=True, text=True)
        self.assertEqual((r.returncode, (carpeta / "tests").exists()), (0, False), r.stderr)
        self.assertIn("-- Tests skipped: GoogleTest was not found", r.stdout)

    def test_a_wrong_wheel_fails_the_build(self):
        """setuptools stands in, making the wheel a case names: only the engine's, at this version, passes."""
        tmp, bien = temporal(self.enterContext), "varno_motor-1.0.0-py3-none-any.whl"
        escribir(tmp / "python", 'cp "$RUEDA" "$4/$NOMBRE"')
        casos = [("right", bien, "varno-motor", "1.0.0", ""),  # the file, its METADATA's name and version, the line
                 ("old setuptools", "UNKNOWN-0.0.0-py3-none-any.whl", "UNKNOWN", "0.0.0", "made UNKNOWN-0.0.0"),
                 ("other version inside", bien, "varno-motor", "0.0.0", 'says "Name: varno-motor;Version: 0.0.0"')]
        for nombre, archivo, nombre_dentro, version_dentro, linea in casos:
            with self.subTest(nombre), zipfile.ZipFile(tmp / "rueda.whl", "w") as z:
                z.writestr("varno_motor-1.0.0.dist-info/METADATA", "Name: %s\nVersion: %s\n" % (nombre_dentro,
                                                                                                version_dentro))
                z.close()
                r = con_imitaciones(tmp, ["cmake", "-DPYTHON=%s/python" % tmp, "-DVERSION=1.0.0", "-DFUENTE=%s/paquete/"
                                          "app" % RAIZ, "-DTRABAJO=%s/t" % tmp, "-DSALIDA=%s/r" % tmp, "-P",
                                          RAIZ / "cmake/rueda.cmake"], RUEDA=str(tmp / "rueda.whl"), NOMBRE=archivo)
                self.assertEqual(r.returncode == 0, not linea, r.stderr)
                self.assertIn(linea, " ".join(r.stderr.split()))

    def test_signing_inside_out_and_notarization_stop_at_the_failing_step(self):
        app, dmg = (tmp := temporal(self.enterContext)) / "VARNO.app", tmp / "VARNO.dmg"
        piezas = ["Frameworks/QtCore.framework", "Frameworks/libextra.dylib", "PlugIns/plat/libqcocoa.dylib"]
        for ruta in ["MacOS/VARNO", "Frameworks/QtCore.framework/QtCore", *piezas[1:], "Resources/qt.conf", dmg]:
            escribir(app / "Contents" / ruta, b"")  # dmg, absolute, stays itself
        for nombre in ["codesign", "xcrun", "spctl"]:
            escribir(tmp / "bin" / nombre, IMITACION)
        rutas = [str(app / "Contents" / p) for p in piezas] + [str(app)]
        identidad = "Developer ID Application: Ejemplo (ABCDE12345)"
        firma = lambda *a: ["cmake", "-DBUNDLE=%s" % app, *a, "-P", RAIZ / "cmake/firma.cmake"]
        firmas = lambda opciones: ["codesign --force --sign %s %s" % (opciones, r) for r in rutas] + [
            "codesign --verify --deep --strict %s" % app]
        notarizar = ["bash", RAIZ / "scripts/notarizar.sh", dmg, "perfil"]
        pasos = ["xcrun notarytool submit %s --keychain-profile perfil --wait" % dmg, "xcrun stapler staple %s" % dmg,
                 "spctl --assess --type open --context context:primary-signature -v %s" % dmg]
        casos = [  # name, command, stand-in that fails, notarization's verdict, calls expected, line told
            ("ad hoc", firma(), "", "", firmas("-"), ""),
            ("identity", firma("-DIDENTIDAD=" + identidad), "", "",
             firmas(identidad + " --options runtime --timestamp"), ""),
            ("disk image", firma("-DCPACK_PACKAGE_FILES=%s" % dmg, "-DCPACK_VARNO_FIRMA=" + identidad), "", "",
             ["codesign --force --sign %s --timestamp %s" % (identidad, dmg)], ""),
            ("codesign fails", firma(), firmas("-")[1], "", firmas("-")[:2], "codesign failed on"),
            ("notarized", notarizar, "", "Accepted", pasos, "Imagen notarizada: %s" % dmg),
            ("notarytool fails", notarizar, "xcrun notarytool", "Accepted", pasos[:1],
             "No se pudo enviar la imagen a notarizar (notarytool terminó con el código 1)."),
            ("refused", notarizar, "", "Invalid", pasos[:1],
             "Apple no aceptó la imagen; el informe: xcrun notarytool log 1234 --keychain-profile perfil"),
        ]
        for nombre, orden, falla, veredicto, esperadas, linea in casos:
            with self.subTest(nombre):
                escribir(tmp / "registro", b"")
                r = con_imitaciones(tmp, orden, ESTADO=veredicto, REGISTRO=str(tmp / "registro"), FALLA=falla or "\t")
                llamadas = (tmp / "registro").read_text().splitlines()
                bien = not falla and veredicto != "Invalid"
                self.assertEqual((r.returncode == 0, llamadas), (bien, esperadas), r.stdout + r.stderr)
                self.assertIn(linea, r.stdout + r.stderr)
