#include "comun/comun.h"
#include "maintenance/textos.h"

namespace {

// Counts, sizes and reports as a Spanish reader and the Finder expect them, at each boundary.
TEST(TextosDelMantenimiento, LoQueSeDice) {
    // 143 and 1.234, the edges of the thousands' mark, in the texts below.
    for (const auto& [bytes, texto] : {std::pair(499'999LL, "0 MB"),
                                       {500'000LL, "1 MB"},
                                       {999'499'999LL, "999 MB"},
                                       {999'500'000LL, "1,0 GB"},
                                       {2'149'999'999LL, "2,1 GB"},
                                       {1'234'000'000'000LL, "1.234,0 GB"}})
        EXPECT_EQ(tamano(bytes), texto) << bytes;
    EXPECT_EQ(descripcion({"1.0", "3.12.7", "7.1", 143, 2'100'000'000}),
              "Python 3.12.7 · ffmpeg 7.1 · 143 bibliotecas · 2,1 GB en disco");
    EXPECT_EQ(descripcion({"1.0", "", "", 1, 0}), "1 biblioteca · 0 MB en disco");
    const AvanceVerificacion a{1234, 20567, 512'000'000, 2'048'000'000};
    EXPECT_EQ(textoDeAvance(a), "1.234 de 20.567 archivos · 512 MB de 2,0 GB");
    // By bytes; by files while no bytes are known; nothing to do is nothing done.
    for (const auto& [avance, parte] : {std::pair(a, 0.25), {{1, 4, 0, 0}, 0.25}, {{}, 0.0}})
        EXPECT_DOUBLE_EQ(fraccion(avance), parte);

    const Problema roto{{Parte::Tipo::biblioteca, "numpy", "2.1.0"},
                        "python/lib/numpy/core.py",
                        "su contenido cambió"};
    Informe sano, dos;
    sano.archivos = 20567, sano.bytes = 2'048'000'000,
    sano.duracion = std::chrono::milliseconds(13'500);
    dos.problemas = {{{Parte::Tipo::marca}, "", "nombra otra"}, roto};
    for (const auto& [i, estado, detalle] :
         {std::tuple(sano, "El motor está sano.",
                     "Se verificaron 20.567 archivos (2,0 GB) en 14 s."),
          {dos, "El motor tiene 2 problemas.", "La marca de instalación: nombra otra."}}) {
        EXPECT_EQ(estadoDelInforme(i), estado);
        EXPECT_EQ(detalleDelInforme(i), detalle);
    }
    EXPECT_EQ(textoDelInforme(dos, "1.0"),
              "VARNO 1.0: El motor tiene 2 problemas.\nLa marca de instalación: nombra otra.\n" +
                  roto.linea() + "\n");
}

} // namespace
