#pragma once

#include <chrono>

class QAccessibleEvent;
class Etiqueta;

// What assistive technology (VoiceOver, Orca) is told about the hand-drawn
// views Qt has no interface for: static text, the logo and the window. The
// buttons and the bar are Qt's own. Hidden views are left out. Installed once per process; the
// window does it.
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
