#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The command line as the launch decision reads it. Options are whole
// arguments, compared exactly; only the first occurrence of each counts and
// its values are the arguments right after it, whatever they look like.
struct Opciones {
    struct Fondo {
        QString ruta;
        double escala = 1.0;
    };
    struct Captura {
        QString ruta;
        qint64 pantalla = 0;
    };
    std::optional<QString> icono;
    std::optional<Fondo> fondoDmg;
    std::optional<Captura> captura;
    std::optional<QString> expulsar;
    bool noMover = false; // stay where it is: never move into Applications

    bool empaquetado() const { return icono || fondoDmg || captura; }
};

// `argumentos` is the whole list, the program's own path first.
Opciones leerOpciones(const QStringList& argumentos);

// A C-locale floating-point number making up the whole text, or nothing.
std::optional<double> leerEscala(const QString& texto);

// A decimal 64-bit integer with an optional sign making up the whole text, or nothing.
std::optional<qint64> leerPantalla(const QString& texto);
