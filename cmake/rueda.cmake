# Builds the engine's wheel without pip and without the network: a copy of
# paquete/app (setuptools writes its build files beside the sources) with the
# bundle's version in version.txt, handed to setuptools' build backend.
#   cmake -DPYTHON=… -DFUENTE=paquete/app -DVERSION=1.0.0 -DTRABAJO=… -DSALIDA=… -P rueda.cmake
file(REMOVE_RECURSE "${TRABAJO}" "${SALIDA}")
file(COPY "${FUENTE}/" DESTINATION "${TRABAJO}" PATTERN "__pycache__" EXCLUDE)
file(WRITE "${TRABAJO}/version.txt" "${VERSION}\n")
file(MAKE_DIRECTORY "${SALIDA}")
# Fixed dates inside the archive: the same sources give the same wheel.
set(ENV{SOURCE_DATE_EPOCH} 1704067200)
execute_process(COMMAND "${PYTHON}" -I -c "import sys, setuptools.build_meta as b; b.build_wheel(sys.argv[1])"
    "${SALIDA}" WORKING_DIRECTORY "${TRABAJO}" RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "setuptools could not build the engine's wheel (${rc}).")
endif()
