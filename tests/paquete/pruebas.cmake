# The installer script, the offline mirror and the sample engine, tested
# through their own command lines.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(VARNO_SHELLCHECK shellcheck REQUIRED)
add_test(NAME paquete_shellcheck COMMAND ${VARNO_SHELLCHECK} paquete/instalar_mac.sh scripts/espejo.sh
    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}")

# One test per group so that CTest can run them side by side; each makes its
# own installation in a temporary HOME. The engine's tests bind port 8770.
foreach(grupo IN ITEMS prueba_instalador.Instalacion prueba_instalador.Descargas
        prueba_instalador.Fallos prueba_instalador.EntornoHostil prueba_motor)
    string(REPLACE "prueba_instalador." "paquete_instalador_" nombre "${grupo}")
    string(REPLACE "prueba_motor" "paquete_motor" nombre "${nombre}")
    add_test(NAME ${nombre} COMMAND ${Python3_EXECUTABLE} -m unittest -v ${grupo}
        WORKING_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}/paquete")
    set_tests_properties(${nombre} PROPERTIES TIMEOUT 900
        ENVIRONMENT "VARNO_FUENTES=${PROJECT_SOURCE_DIR};PYTHONDONTWRITEBYTECODE=1")
endforeach()
set_tests_properties(paquete_motor PROPERTIES RESOURCE_LOCK puerto8770)

# The built program with the bundled installer and engine.
add_test(NAME paquete_punta_a_punta COMMAND ${Python3_EXECUTABLE} -m unittest -v prueba_punta_a_punta
    WORKING_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}/paquete")
set_tests_properties(paquete_punta_a_punta PROPERTIES TIMEOUT 900 RESOURCE_LOCK puerto8770
    ENVIRONMENT "VARNO_FUENTES=${PROJECT_SOURCE_DIR};VARNO_BUNDLE=${VARNO_BUNDLE};PYTHONDONTWRITEBYTECODE=1")
