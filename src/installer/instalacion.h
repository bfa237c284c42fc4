#pragma once

#include <QObject>

// One run of the installer script.
class Instalacion : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
};
