# Signs the finished bundle from the inside out: every framework and plug-in
# first, then the bundle, whose seal covers what was signed inside it. Without
# an identity the signature is ad hoc, which is what an arm64 Mac needs to run
# a local build; with a Developer ID it is the hardened runtime with a secure
# timestamp that notarization asks for.
#
#   cmake -DBUNDLE=VARNO.app [-DIDENTIDAD="Developer ID Application: …"] -P firma.cmake
#
# CPack runs it too, after making the disk image (CPACK_POST_BUILD_SCRIPTS):
# then it signs the image with CPACK_VARNO_FIRMA.
cmake_minimum_required(VERSION 3.25)

find_program(VARNO_CODESIGN codesign NO_CACHE)
if(NOT VARNO_CODESIGN)
    message(FATAL_ERROR "codesign was not found: the package cannot be signed.")
endif()

function(firmar)
    execute_process(COMMAND "${VARNO_CODESIGN}" ${ARGN} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        list(GET ARGN -1 que)
        message(FATAL_ERROR "codesign failed on ${que} (${rc}).")
    endif()
endfunction()

if(DEFINED CPACK_PACKAGE_FILES)
    foreach(imagen IN LISTS CPACK_PACKAGE_FILES)
        firmar(--force --sign "${CPACK_VARNO_FIRMA}" --timestamp "${imagen}")
    endforeach()
    return()
endif()

if(NOT IS_DIRECTORY "${BUNDLE}")
    message(FATAL_ERROR "No bundle to sign at '${BUNDLE}'.")
endif()
if(IDENTIDAD)
    set(opciones --force --sign "${IDENTIDAD}" --options runtime --timestamp)
else()
    set(opciones --force --sign -)
endif()

file(GLOB marcos LIST_DIRECTORIES true
    "${BUNDLE}/Contents/Frameworks/*.framework" "${BUNDLE}/Contents/Frameworks/*.dylib")
file(GLOB_RECURSE complementos LIST_DIRECTORIES false "${BUNDLE}/Contents/PlugIns/*.dylib")
list(SORT marcos)
list(SORT complementos)
foreach(pieza IN LISTS marcos complementos)
    firmar(${opciones} "${pieza}")
endforeach()
firmar(${opciones} "${BUNDLE}")
firmar(--verify --deep --strict "${BUNDLE}")
