#include "app/arranque.h"

int main(int argc, char** argv) {
    return arrancar(argc, argv);
}
