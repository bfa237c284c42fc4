#pragma once

#include <chrono>

class Barra;
class QAccessibleEvent;
class Boton;
class Etiqueta;

// What assistive technology (VoiceOver, Orca) is told about the hand-drawn
// views: a push button, a read-only progress bar, static text and the logo.
// Hidden views are left out. Installed once per process; the window does it.
void instalarAccesibilidad();

// Nothing is told while no assistive technology listens. Tests set this to
// hear what would be told, on a platform that has none.
extern void (*lectorDePrueba)(QAccessibleEvent*);

// A label's new text, announced while the label shows. Changes are gathered
// and announced at most once every `pausaEntreAnuncios`, in the order the views
// lie in the window (the status before the detail), so that a flood of
// installer output does not flood the screen reader.
inline constexpr std::chrono::milliseconds pausaEntreAnuncios{300};
void anunciarTexto(Etiqueta* e);

// A bar's value moved from `antes`; told only when the whole percentage changes.
void avisarValor(Barra* b, double antes);
// A button's title or its active state changed.
void avisarTitulo(Boton* b);
void avisarActivo(Boton* b);
