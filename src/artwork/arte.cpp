#include "artwork/arte.h"

#include <QPainter>
#include <QWidget>

void guardarPNG(const QString&, int, int, const std::function<void(QPainter&)>&) {}
void guardarIcono(const QString&) {}
void guardarFondoDmg(const QString&, double) {}
void captura(QWidget*, const QString&) {}
