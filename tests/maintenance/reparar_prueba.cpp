#include "comun/comun.h"
#include "maintenance/mantenimiento.h"

// What a report asks the installer to put right: each part once, in a stable order.
TEST(Reparar, FichasDelInforme) {
    const auto informe = [](const QStringList& componentes) {
        Informe i;
        for (const QString& c : componentes)
            i.problemas << Problema{c, "x", "falta"};
        return i;
    };
    const struct {
        QStringList componentes;
        QString fichas;
    } casos[] = {
        {{}, ""},
        {{"La marca de instalación"}, ""},
        {{"numpy 2.1.0", "ffmpeg", "attrs 24.2.0", "numpy 2.1.0", "Python", "ffmpeg", "Python"},
         "python ffmpeg attrs==24.2.0 numpy==2.1.0"},
        {{"La marca de instalación", "varno-motor 1.0.0", "numpy", "numpy 2.1.0 x", "numpy "},
         "varno-motor==1.0.0"},
    };
    for (const auto& c : casos)
        EXPECT_EQ(aReparar(informe(c.componentes)), c.fichas)
            << c.componentes.join(", ").toStdString();
}
