#pragma once

#include "maintenance/mantenimiento.h"

#include <QString>

// What maintenance says, on the window and in a terminal alike.

// Text from the runtime (names, paths) as it may be shown: each control or
// formatting character (a line break, an escape, a bidirectional mark) is
// U+FFFD, so a name cannot forge a line or move the terminal's cursor.
QString sinControl(QStringView texto);

// "2,1 GB" from a gigabyte on, "512 MB" below it (decimal units, as the Finder counts).
QString tamano(qint64 bytes);
// "20.567": thousands grouped with a dot.
QString cifra(qint64 n);

// "Python 3.12.7 · ffmpeg 7.1 · 143 bibliotecas · 2,1 GB en disco"; what is
// missing is left out.
QString descripcion(const Instalado& i);

// "1.234 de 20.567 archivos · 512 MB de 2,1 GB", and the bar's fraction, by bytes.
QString textoDeAvance(const AvanceVerificacion& a);
double fraccion(const AvanceVerificacion& a);

// The status line of a finished verification: sound, or how many problems.
QString estadoDelInforme(const Informe& i);
// Below it: the files and time of a sound one, or the first problem.
QString detalleDelInforme(const Informe& i);
// The report: a heading, then one line per problem.
QString textoDelInforme(const Informe& i, const QString& version);
