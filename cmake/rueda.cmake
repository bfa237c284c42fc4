# Builds the engine's wheel without pip and without the network: a copy of
# paquete/app (setuptools writes its build files beside the sources) with the
# bundle's version in version.txt, handed to setuptools' build backend. The
# wheel is then checked, name and version, so that a setuptools that ignored
# pyproject.toml fails the build instead of a user's installation.
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

# Exactly one wheel, named for the engine at this version, whose metadata says the same.
set(esperada "varno_motor-${VERSION}-py3-none-any.whl")
file(GLOB ruedas RELATIVE "${SALIDA}" "${SALIDA}/*.whl")
if(NOT ruedas STREQUAL esperada)
    message(FATAL_ERROR "setuptools made ${ruedas} instead of ${esperada}: its setuptools is older than 61; "
        "name a newer Python with -DVARNO_PYTHON=…")
endif()
set(metadatos "${TRABAJO}/comprobacion")
file(REMOVE_RECURSE "${metadatos}")
file(ARCHIVE_EXTRACT INPUT "${SALIDA}/${esperada}" DESTINATION "${metadatos}"
    PATTERNS "varno_motor-${VERSION}.dist-info/METADATA")
file(STRINGS "${metadatos}/varno_motor-${VERSION}.dist-info/METADATA" cabecera REGEX "^(Name|Version): ")
if(NOT cabecera STREQUAL "Name: varno-motor;Version: ${VERSION}")
    message(FATAL_ERROR "The engine's wheel says \"${cabecera}\" instead of varno-motor ${VERSION}.")
endif()
