# The installer script, the sample engine, the packaging scripts and the
# stand-ins for the macOS tools, tested through their own command lines.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
# The test command requires shellcheck; elsewhere its test is skipped, and said so.
if(VARNO_TESTS STREQUAL "ON")
    find_program(VARNO_SHELLCHECK shellcheck REQUIRED)
else()
    find_program(VARNO_SHELLCHECK shellcheck)
endif()
if(VARNO_SHELLCHECK)
    file(GLOB VARNO_PLATAFORMA RELATIVE "${PROJECT_SOURCE_DIR}" "${PROJECT_SOURCE_DIR}/plataforma/*")
    add_test(NAME paquete_shellcheck COMMAND ${VARNO_SHELLCHECK} paquete/instalar_mac.sh scripts/espejo.sh
        scripts/bash-mac.sh scripts/compilar-libcxx.sh scripts/formato.sh scripts/parar-motor.sh
        scripts/notarizar.sh ${VARNO_PLATAFORMA} WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}")
else()
    message(STATUS "Shell scripts not checked: shellcheck was not found (brew install shellcheck).")
    add_test(NAME paquete_shellcheck COMMAND "${CMAKE_COMMAND}" -E echo "Skipped: shellcheck was not found.")
    set_tests_properties(paquete_shellcheck PROPERTIES SKIP_REGULAR_EXPRESSION "Skipped:")
endif()

# One test per group so that CTest can run them side by side, each in a temporary HOME.
foreach(grupo IN ITEMS instalador punta_a_punta empaquetado)
    string(REPLACE "." "_" nombre "paquete_${grupo}")
    add_test(NAME ${nombre} COMMAND ${Python3_EXECUTABLE} -m unittest -v prueba_${grupo}
        WORKING_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}/paquete")
    set_tests_properties(${nombre} PROPERTIES TIMEOUT 900 ENVIRONMENT
        "VARNO_FUENTES=${PROJECT_SOURCE_DIR};VARNO_BUNDLE=${VARNO_BUNDLE};PYTHONDONTWRITEBYTECODE=1")
endforeach()
# Random kills, in a mount namespace of their own (unshare -rm) where one can be made, so that a small file system
# can fill up; a removal probes the engine's port.
add_test(NAME paquete_matar COMMAND ${Python3_EXECUTABLE} prueba_matar.py WORKING_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}/paquete")
set_tests_properties(paquete_matar PROPERTIES TIMEOUT 900 ENVIRONMENT
    "VARNO_FUENTES=${PROJECT_SOURCE_DIR};VARNO_BUNDLE=${VARNO_BUNDLE};PYTHONDONTWRITEBYTECODE=1")
# The engine and the built program bind port 8770, or probe it.
set_tests_properties(paquete_punta_a_punta paquete_matar PROPERTIES RESOURCE_LOCK puerto8770)

# The installer's scenarios once more under a Mac's /bin/bash, GNU bash 3.2,
# built once from the tarball in terceros/ by a setup test.
set(VARNO_BASH_FUENTE "${PROJECT_SOURCE_DIR}/terceros/bash-3.2.48.tar.gz")
if(EXISTS "${VARNO_BASH_FUENTE}")
    add_test(NAME paquete_bash_mac_construir
        COMMAND bash "${PROJECT_SOURCE_DIR}/scripts/bash-mac.sh" "${CMAKE_BINARY_DIR}/bash-3.2")
    set_tests_properties(paquete_bash_mac_construir PROPERTIES FIXTURES_SETUP bash_mac TIMEOUT 600)
    add_test(NAME paquete_instalador_bash_3_2 COMMAND ${Python3_EXECUTABLE} -m unittest -v prueba_instalador
        WORKING_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}/paquete")
    set_tests_properties(paquete_instalador_bash_3_2 PROPERTIES FIXTURES_REQUIRED bash_mac TIMEOUT 900
        ENVIRONMENT "VARNO_FUENTES=${PROJECT_SOURCE_DIR};VARNO_BUNDLE=${VARNO_BUNDLE};PYTHONDONTWRITEBYTECODE=1;VARNO_BASH=${CMAKE_BINARY_DIR}/bash-3.2/bash")
else()
    # Said, never passed in silence.
    add_test(NAME paquete_instalador_bash_3_2 COMMAND "${CMAKE_COMMAND}" -E echo
        "Skipped: the source of bash 3.2 (terceros/bash-3.2.48.tar.gz) is missing.")
    set_tests_properties(paquete_instalador_bash_3_2 PROPERTIES SKIP_REGULAR_EXPRESSION "Skipped:")
endif()
