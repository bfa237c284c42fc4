#include "comun/comun.h"
#include "maintenance/mantenimiento.h"

// What a report asks the installer to put right: each part once, in a stable order; the marker,
// and a library without a name or version the installer can read, ask nothing.
TEST(Reparar, FichasDelInforme) {
    using T = Parte::Tipo;
    const Parte python{T::python}, ffmpeg{T::ffmpeg}, numpy{T::biblioteca, "numpy", "2.1.0"};
    const std::pair<QList<Parte>, QString> casos[] = {
        {{}, ""},
        {{numpy, ffmpeg, {T::biblioteca, "attrs", "24.2.0"}, numpy, python, ffmpeg, python},
         "python ffmpeg attrs==24.2.0 numpy==2.1.0"},
        {{{T::marca},
          {T::biblioteca, "varno-motor", "1.0.0"},
          {T::biblioteca, "numpy", ""},
          {T::biblioteca, "numpy", "2.1.0 x"},
          {T::biblioteca, "", "2.1.0"}},
         "varno-motor==1.0.0"},
    };
    for (const auto& [partes, fichas] : casos) {
        Informe informe;
        for (const Parte& p : partes)
            informe.problemas << Problema{p, "x", "falta"};
        EXPECT_EQ(aReparar(informe), fichas) << fichas.toStdString();
    }
}
