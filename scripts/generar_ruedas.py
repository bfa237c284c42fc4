#!/usr/bin/env python3
"""Writes a set of wheels with the shape of a real machine-learning stack into a mirror, for the benchmarks and the
slow tests: a framework, an array library, an image library and their dependencies, with many small modules in
nested packages, data files and a few large shared libraries. The same seed gives the same bytes.

  python3 scripts/generar_ruedas.py grande|pequena DESTINO [--semilla N]

DESTINO/ruedas/ gets the wheels (as scripts/espejo.sh lays out a mirror) and DESTINO/requisitos.txt their pinned
requirements with --hash lines, as paquete/requisitos.txt takes them."""

import argparse, base64, hashlib, os, random, sys, zipfile
from concurrent.futures import ProcessPoolExecutor

MB = 1 << 20
# Each library: name, share of the small files, its large binaries (MB at "grande"), the ones it needs, whether
# it has a command.
BIBLIOTECAS = [
    ("marco", 0.36, [420, 260, 120], ["matrices", "tipos", "fechas"], True),
    ("ciencia", 0.18, [150, 80], ["matrices"], False),
    ("matrices", 0.12, [90, 40], [], False),
    ("tablas", 0.10, [70, 30], ["matrices", "fechas"], False),
    ("graficos", 0.08, [20], ["matrices", "imagenes"], False),
    ("imagenes", 0.06, [60, 25], [], True),
    ("tipos", 0.04, [], [], False),
    ("fechas", 0.03, [], [], False),
    ("red", 0.02, [], [], False),
    ("texto", 0.01, [], [], False),
]
CONFIGURACIONES = {  # files in all, share of the large binaries' size
    "grande": (100_000, 1.0),
    "pequena": (5_000, 0.015),
}
PALABRAS = ("valor tensor capa forma dato peso lote paso nodo grafo tabla fila campo indice rango media suma "
            "escala color pixel borde filtro mapa clave cola pila lista punto vector norma limite modo tipo").split()


def nombre(r, n=2):
    return "_".join(r.choice(PALABRAS) for _ in range(n))


def modulo(r, objetivo):
    """Python source of about `objetivo` bytes that compiles: constants, functions and classes."""
    partes, largo = ['"""%s."""\n\nimport os\nimport sys\n\n' % nombre(r, 4).replace("_", " ").capitalize()], 0
    while largo < objetivo:
        k = r.random()
        if k < 0.2:
            t = "%s = %r\n" % (nombre(r).upper(), [r.randrange(1000) for _ in range(r.randrange(1, 12))])
        elif k < 0.7:
            a, b = nombre(r, 1), nombre(r, 1) + "_b"
            cuerpo = "".join("    %s = %s * %d + len(%r)\n" % (nombre(r), a, r.randrange(99), nombre(r, 3))
                             for _ in range(r.randrange(1, 8)))
            t = "\n\ndef %s(%s, %s=None):\n    \"\"\"%s\"\"\"\n%s    if %s is None:\n        return %s\n" \
                "    return [x for x in (%s, %s) if x]\n" % (nombre(r), a, b, nombre(r, 5).replace("_", " "),
                                                            cuerpo, b, a, a, b)
        else:
            c = "".join(w.capitalize() for w in nombre(r).split("_"))
            metodos = "".join("\n    def %s(self, x):\n        return self.%s + x * %d\n"
                              % (nombre(r), nombre(r, 1), r.randrange(9)) for _ in range(r.randrange(1, 5)))
            t = "\n\nclass %s:\n    %s = %d\n%s" % (c, nombre(r, 1), r.randrange(100), metodos)
        partes.append(t)
        largo += len(t)
    return "".join(partes).encode()


def binario(r, tamano, bloques):
    """A shared library's bytes: blocks from a small random pool and runs of zeros, so that it compresses about as
    much as a real one and takes little time to make."""
    salida, hecho = bytearray(), 0
    while hecho < tamano:
        trozo = bloques[r.randrange(len(bloques))] if r.random() < 0.6 else bytes(64 * 1024)
        salida += trozo[:tamano - hecho]
        hecho += len(trozo)
    return bytes(salida)


def tamano_de_modulo(r):
    return max(200, min(int(r.lognormvariate(8.3, 0.9)), 80_000))  # median about 4 KB


def una_rueda(destino, semilla, biblio, archivos, escala):
    nombre_b, _, grandes, necesita, orden = biblio
    r, version = random.Random("%d %s." % (semilla, nombre_b)), version_de(semilla, nombre_b)
    info = "%s-%s.dist-info/" % (nombre_b, version)
    bloques = [r.randbytes(64 * 1024) for _ in range(16)]
    filas = []
    ruta = os.path.join(destino, "%s-%s-py3-none-any.whl" % (nombre_b, version))
    with zipfile.ZipFile(ruta + ".parcial", "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
        def poner(camino, datos):
            z.writestr(zipfile.ZipInfo(camino), datos)  # dated 1980: the same bytes each time
            suma = base64.urlsafe_b64encode(hashlib.sha256(datos).digest()).rstrip(b"=").decode()
            filas.append("%s,sha256=%s,%d\n" % (camino, suma, len(datos)))

        # Nested packages, each with its __init__.py; modules and data files spread over them.
        paquetes = [nombre_b]
        while len(paquetes) < max(1, archivos // 40):
            padre = r.choice(paquetes)
            if padre.count("/") < 5:
                paquetes.append("%s/%s_%d" % (padre, nombre(r, 1), len(paquetes)))
        for p in paquetes:
            poner(p + "/__init__.py", b'"""%s."""\n' % p.encode() +
                  (b"def main():\n    print('%s')\n" % nombre_b.encode() if p == nombre_b else b""))
        for i in range(archivos - len(paquetes)):
            p, k = r.choice(paquetes), r.random()
            if k < 0.75:
                poner("%s/%s_%d.py" % (p, nombre(r), i), modulo(r, tamano_de_modulo(r)))
            elif k < 0.85:
                poner("%s/%s_%d.pyi" % (p, nombre(r), i), b"def f(x: int) -> int: ...\n" * r.randrange(1, 60))
            elif k < 0.95:
                poner("%s/datos/%s_%d.json" % (p, nombre(r), i),
                      ("{%s}\n" % ", ".join('"%s": %d' % (nombre(r), r.randrange(9999))
                                            for _ in range(r.randrange(1, 200)))).encode())
            else:
                poner("%s/datos/%s_%d.bin" % (p, nombre(r), i), binario(r, r.randrange(1000, 60_000), bloques))
        for j, mb in enumerate(grandes):
            poner("%s/_nucleo%d.so" % (nombre_b, j), binario(r, max(int(mb * MB * escala), 4096), bloques))
        requiere = "".join("Requires-Dist: %s==%s\n" % (n, v) for n, v in necesita)
        poner(info + "METADATA", ("Metadata-Version: 2.1\nName: %s\nVersion: %s\nSummary: %s\n%s\n"
                                  % (nombre_b, version, nombre(r, 4).replace("_", " "), requiere)).encode())
        poner(info + "WHEEL", b"Wheel-Version: 1.0\nGenerator: generar_ruedas\nRoot-Is-Purelib: true\n"
                              b"Tag: py3-none-any\n")
        if orden:
            poner(info + "entry_points.txt", ("[console_scripts]\n%s = %s:main\n" % (nombre_b, nombre_b)).encode())
        z.writestr(zipfile.ZipInfo(info + "RECORD"), "".join(filas) + info + "RECORD,,\n")
    os.replace(ruta + ".parcial", ruta)
    with open(ruta, "rb") as f:
        return nombre_b, version, os.path.basename(ruta), hashlib.file_digest(f, "sha256").hexdigest()


def version_de(semilla, nombre_b):
    r = random.Random("%d %s" % (semilla, nombre_b))
    return "%d.%d.%d" % (r.randrange(1, 3), r.randrange(20), r.randrange(10))


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("configuracion", choices=CONFIGURACIONES)
    p.add_argument("destino")
    p.add_argument("--semilla", type=int, default=1)
    a = p.parse_args()
    archivos, escala = CONFIGURACIONES[a.configuracion]
    ruedas = os.path.join(a.destino, "ruedas")
    os.makedirs(ruedas, exist_ok=True)
    versiones = {b[0]: version_de(a.semilla, b[0]) for b in BIBLIOTECAS}
    trabajos = [(ruedas, a.semilla, (b[0], b[1], b[2], [(n, versiones[n]) for n in b[3]], b[4]),
                 max(4, int(archivos * b[1])), escala) for b in BIBLIOTECAS]
    with ProcessPoolExecutor(os.cpu_count()) as hilos:
        hechas = list(hilos.map(una_rueda, *zip(*trabajos)))
    with open(os.path.join(a.destino, "requisitos.txt"), "w") as f:
        for n, v, _, suma in sorted(hechas):
            f.write("%s==%s \\\n    --hash=sha256:%s\n" % (n, v, suma))
    print("%d ruedas en %s" % (len(hechas), ruedas))


if __name__ == "__main__":
    sys.exit(main())
