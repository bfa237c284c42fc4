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

    // Maintenance of the engine's runtime: the window's screen, or one of the
    // three runs from a terminal, which need no display.
    enum class Mantenimiento { no, pantalla, verificar, reparar, eliminar };
    Mantenimiento mantenimiento = Mantenimiento::no;
    // More than one maintenance option: the command line is wrong.
    bool malUso = false;

    bool empaquetado() const { return icono || fondoDmg || captura; }
    bool enConsola() const {
        return mantenimiento == Mantenimiento::verificar ||
               mantenimiento == Mantenimiento::reparar || mantenimiento == Mantenimiento::eliminar;
    }
};

// `argumentos` is the whole list, the program's own path first.
Opciones leerOpciones(const QStringList& argumentos);

// A C-locale floating-point number making up the whole text, or nothing.
std::optional<double> leerEscala(const QString& texto);

// A decimal 64-bit integer with an optional sign making up the whole text, or nothing.
std::optional<qint64> leerPantalla(const QString& texto);
