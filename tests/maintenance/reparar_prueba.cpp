#include "comun/comun.h"
#include "maintenance/mantenimiento.h"

// What a report asks the installer to put right: each part once, in a stable order; the marker,
// and a library without a name or version the installer can read, ask nothing.
TEST(Reparar, FichasDelInforme) {
    const auto b = [](const char* nombre, const char* version) {
        return Parte{Parte::Tipo::biblioteca, nombre, version};
    };
    const Parte python{Parte::Tipo::python}, ffmpeg{Parte::Tipo::ffmpeg}, marca{Parte::Tipo::marca};
    const std::pair<QList<Parte>, QString> casos[] = {
        {{b("numpy", "2.1.0"), ffmpeg, b("attrs", "24.2.0"), b("numpy", "2.1.0"), python, ffmpeg},
         "python ffmpeg attrs==24.2.0 numpy==2.1.0"},
        {{marca, b("varno-motor", "1.0.0"), b("numpy", ""), b("numpy", "2.1.0 x"), b("", "2.1.0")},
         "varno-motor==1.0.0"},
    };
    for (const auto& [partes, fichas] : casos) {
        Informe informe;
        for (const Parte& p : partes)
            informe.problemas << Problema{p, "x", "falta"};
        EXPECT_EQ(aReparar(informe), fichas) << fichas.toStdString();
    }
}
