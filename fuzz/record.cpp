// The input is a RECORD: a library's, or the installer's manifest.
#include "maintenance/record.h"
#include "comun.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano) {
    const QByteArray bytes = fuzz::bytes(datos, tamano);
    const int lineas = int(bytes.count('\n') + bytes.count('\r')) + 1;
    for (const bool manifiesto : {false, true}) {
        const Record r = leerRecord(bytes, manifiesto);
        // Rows and damaged lines each in the text's order, never the same line twice.
        QList<int> vistas = r.danadas;
        for (const EntradaRecord& e : r.entradas) {
            EXIGIR(!e.ruta.isEmpty() && !e.ruta.endsWith(QLatin1String(".pyc")));
            EXIGIR((e.sha256.isEmpty() || e.sha256.size() == 32) && (manifiesto || !e.enlace));
            EXIGIR(!e.enlace || (e.sha256.isEmpty() && !e.tamano));
            vistas << e.linea;
        }
        EXIGIR(std::is_sorted(r.danadas.begin(), r.danadas.end()) &&
               std::is_sorted(r.entradas.begin(), r.entradas.end(),
                              [](const auto& a, const auto& b) { return a.linea < b.linea; }));
        std::sort(vistas.begin(), vistas.end());
        EXIGIR(std::adjacent_find(vistas.begin(), vistas.end()) == vistas.end());
        EXIGIR(vistas.isEmpty() || (vistas.first() >= 1 && vistas.last() <= lineas));
        // Stopped at its first row, the reading hears nothing more.
        int oidas = 0;
        recorrerRecord(
            bytes, manifiesto, [&](EntradaRecord&) { return ++oidas, false; },
            [&](int) { return ++oidas, false; });
        EXIGIR(oidas == (vistas.isEmpty() ? 0 : 1));
    }
    return 0;
}
