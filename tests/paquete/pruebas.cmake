# The installer script, the sample engine, the packaging scripts and the
# stand-ins for the macOS tools, tested through their own command lines.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(VARNO_SHELLCHECK shellcheck REQUIRED)
file(GLOB VARNO_PLATAFORMA RELATIVE "${PROJECT_SOURCE_DIR}" "${PROJECT_SOURCE_DIR}/plataforma/*")
add_test(NAME paquete_shellcheck COMMAND ${VARNO_SHELLCHECK} paquete/instalar_mac.sh scripts/espejo.sh
    scripts/notarizar.sh ${VARNO_PLATAFORMA} WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}")

# One test per group so that CTest can run them side by side, each in a temporary HOME.
foreach(grupo IN ITEMS instalador punta_a_punta empaquetado)
    string(REPLACE "." "_" nombre "paquete_${grupo}")
    add_test(NAME ${nombre} COMMAND ${Python3_EXECUTABLE} -m unittest -v prueba_${grupo}
        WORKING_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}/paquete")
    set_tests_properties(${nombre} PROPERTIES TIMEOUT 900 ENVIRONMENT
        "VARNO_FUENTES=${PROJECT_SOURCE_DIR};VARNO_BUNDLE=${VARNO_BUNDLE};PYTHONDONTWRITEBYTECODE=1")
endforeach()
# The engine and the built program bind port 8770.
set_tests_properties(paquete_punta_a_punta PROPERTIES RESOURCE_LOCK puerto8770)
