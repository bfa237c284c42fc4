#include "comun/comun.h"
#include "maintenance/mantenimiento.h"

// What a report asks the installer to put right: each part once, in a stable order; the marker,
// and anything not "nombre versión", ask nothing.
TEST(Reparar, FichasDelInforme) {
    const std::pair<QStringList, QString> casos[] = {
        {{}, ""},
        {{"numpy 2.1.0", "ffmpeg", "attrs 24.2.0", "numpy 2.1.0", "Python", "ffmpeg", "Python"},
         "python ffmpeg attrs==24.2.0 numpy==2.1.0"},
        {{"La marca de instalación", "varno-motor 1.0.0", "numpy", "numpy 2.1.0 x", "numpy "},
         "varno-motor==1.0.0"},
    };
    for (const auto& [componentes, fichas] : casos) {
        Informe informe;
        for (const QString& c : componentes)
            informe.problemas << Problema{c, "x", "falta"};
        EXPECT_EQ(aReparar(informe), fichas) << componentes.join(", ").toStdString();
    }
}
