# The installer script, the offline mirror and the sample engine, tested
# through their own command lines: no C++ here.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(VARNO_SHELLCHECK shellcheck REQUIRED)

set(paquete_pruebas "${CMAKE_CURRENT_SOURCE_DIR}/paquete")
set(paquete_entorno "VARNO_FUENTES=${PROJECT_SOURCE_DIR}" "PYTHONDONTWRITEBYTECODE=1")

add_test(NAME paquete_shellcheck
    COMMAND ${VARNO_SHELLCHECK} paquete/instalar_mac.sh scripts/espejo.sh
    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}")

# One test per group, so that CTest can run them side by side; each group
# makes its own base installation in a temporary HOME.
foreach(grupo IN ITEMS Instalacion Descargas Fallos EntornoHostil)
    add_test(NAME paquete_instalador_${grupo}
        COMMAND ${Python3_EXECUTABLE} -m unittest -v prueba_instalador.${grupo}
        WORKING_DIRECTORY "${paquete_pruebas}")
    set_tests_properties(paquete_instalador_${grupo} PROPERTIES
        TIMEOUT 900 ENVIRONMENT "${paquete_entorno}")
endforeach()

add_test(NAME paquete_motor
    COMMAND ${Python3_EXECUTABLE} -m unittest -v prueba_motor
    WORKING_DIRECTORY "${paquete_pruebas}")
set_tests_properties(paquete_motor PROPERTIES
    TIMEOUT 900 ENVIRONMENT "${paquete_entorno}" RESOURCE_LOCK puerto8770)
