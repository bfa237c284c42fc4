# Runs VARNO in one of its packaging modes (-DPROGRAMA, -DMODO, -DSALIDA and,
# for the background, -DESCALA) and fails when the picture did not appear: the
# program ends with status 0 whether or not it could write it.
file(REMOVE "${SALIDA}")
set(argumentos "${MODO}" "${SALIDA}")
if(DEFINED ESCALA)
    list(APPEND argumentos "${ESCALA}")
endif()
if(NOT CMAKE_HOST_APPLE)
    # A desktop session's display has nothing to do with the build.
    set(ENV{QT_QPA_PLATFORM} offscreen)
endif()
execute_process(COMMAND "${PROGRAMA}" ${argumentos} RESULT_VARIABLE estado)
if(NOT estado EQUAL 0 OR NOT EXISTS "${SALIDA}")
    message(FATAL_ERROR "VARNO ${MODO} did not write ${SALIDA} (status ${estado})")
endif()
