#include "comun/comun.h"
#include "maintenance/textos.h"

namespace {

// Sizes and counts as the Finder and a Spanish reader expect them, at each boundary.
TEST(TextosDelMantenimiento, CifrasYTamanos) {
    for (const auto& [n, texto] : {std::pair(0LL, "0"),
                                   {999LL, "999"},
                                   {1000LL, "1.000"},
                                   {1234567LL, "1.234.567"},
                                   {-20567LL, "-20.567"}})
        EXPECT_EQ(cifra(n), texto) << n;
    for (const auto& [bytes, texto] : {std::pair(0LL, "0 MB"),
                                       {499'999LL, "0 MB"},
                                       {500'000LL, "1 MB"},
                                       {999'499'999LL, "999 MB"},
                                       {1'000'000'000LL, "1,0 GB"},
                                       {2'149'999'999LL, "2,1 GB"},
                                       {2'150'000'000LL, "2,2 GB"},
                                       {1'234'000'000'000LL, "1.234,0 GB"}})
        EXPECT_EQ(tamano(bytes), texto) << bytes;
}

// What the screens and the terminal say about an installation and a verification.
TEST(TextosDelMantenimiento, LoQueSeDice) {
    EXPECT_EQ(descripcion({"1.0", "3.12.7", "7.1", 143, 2'100'000'000}),
              "Python 3.12.7 · ffmpeg 7.1 · 143 bibliotecas · 2,1 GB en disco");
    EXPECT_EQ(descripcion({"1.0", "", "", 1, 0}), "1 biblioteca · 0 MB en disco");

    const AvanceVerificacion a{1234, 20567, 512'000'000, 2'048'000'000};
    EXPECT_EQ(textoDeAvance(a), "1.234 de 20.567 archivos · 512 MB de 2,0 GB");
    // By bytes; by files while no bytes are known; nothing to do is nothing done.
    for (const auto& [avance, parte] : {std::pair(a, 0.25), {{1, 4, 0, 0}, 0.25}, {{}, 0.0}})
        EXPECT_DOUBLE_EQ(fraccion(avance), parte);

    const Problema roto{"numpy 2.1.0", "python/lib/numpy/core.py", "su contenido cambió"};
    const Problema marca{"La marca de instalación", "", "nombra la versión 0.9 y esta es la 1.0"};
    Informe sano;
    sano.archivos = 20567, sano.bytes = 2'048'000'000,
    sano.duracion = std::chrono::milliseconds(13'500);
    Informe uno, dos, parado;
    uno.problemas = {roto}, dos.problemas = {marca, roto}, parado.cancelado = true;
    // (report, status, detail)
    for (const auto& [i, estado, detalle] :
         {std::tuple(sano, "El motor está sano.",
                     "Se verificaron 20.567 archivos (2,0 GB) en 14 s."),
          {uno, "El motor tiene un problema.",
           "numpy 2.1.0: python/lib/numpy/core.py: su contenido cambió."},
          {dos, "El motor tiene 2 problemas.",
           "La marca de instalación: nombra la versión 0.9 y esta es la 1.0."},
          {parado, "La verificación se detuvo.", "Se verificaron 0 archivos (0 MB) en 0 s."}}) {
        EXPECT_EQ(estadoDelInforme(i), estado);
        EXPECT_EQ(detalleDelInforme(i), detalle);
    }
    EXPECT_EQ(textoDelInforme(dos, "1.0"), "VARNO 1.0: El motor tiene 2 problemas.\n" +
                                               marca.linea() + "\n" + roto.linea() + "\n");
}

} // namespace
