# The Linux stand-ins for the macOS tools are shell scripts: keep them clean.
find_program(VARNO_SHELLCHECK shellcheck)
if(VARNO_SHELLCHECK AND NOT APPLE)
    file(GLOB VARNO_PLATAFORMA "${PROJECT_SOURCE_DIR}/plataforma/*")
    add_test(NAME Colocacion.shellcheck COMMAND ${VARNO_SHELLCHECK} ${VARNO_PLATAFORMA})
endif()
