# Packaging. VARNO draws its own artwork, so the build runs the program it has
# just linked: the icon goes into the bundle with every build, the disk image's
# background is made for the macOS package.

set(VARNO_CMAKE "${CMAKE_CURRENT_LIST_DIR}")
set(VARNO_FIRMA "" CACHE STRING
    "Identity that signs the macOS package (\"Developer ID Application: …\"); empty signs ad hoc")

# The command that has VARNO write one picture with `modo` into `salida`, with
# any further arguments after it. VARNO ends with a failure, and the build with
# it, when it cannot write the picture.
function(varno_arte variable modo salida)
    set(entorno "")
    if(NOT CMAKE_HOST_APPLE)
        # A desktop session's display has nothing to do with the build.
        set(entorno "${CMAKE_COMMAND}" -E env QT_QPA_PLATFORM=offscreen)
    endif()
    set(${variable} COMMAND ${entorno} "$<TARGET_FILE:VARNO>" ${modo} "${salida}" ${ARGN}
        PARENT_SCOPE)
endfunction()

set(VARNO_ICONO "${VARNO_RESOURCES}/icono.png")
set(icono_salidas "${VARNO_ICONO}")
varno_arte(icono_comandos --icono "${VARNO_ICONO}")
if(APPLE)
    set(VARNO_ICNS "${VARNO_RESOURCES}/icono.icns")
    list(APPEND icono_salidas "${VARNO_ICNS}")
    list(APPEND icono_comandos COMMAND "${CMAKE_COMMAND}" "-DPNG=${VARNO_ICONO}"
         "-DICNS=${VARNO_ICNS}" -P "${VARNO_CMAKE}/icns.cmake")
endif()
add_custom_command(OUTPUT ${icono_salidas}
    ${icono_comandos}
    DEPENDS VARNO "${VARNO_CMAKE}/icns.cmake"
    COMMENT "Drawing the application icon with VARNO --icono"
    VERBATIM)
add_custom_target(varno_icono ALL DEPENDS ${icono_salidas})

# The background at scale 1 and 2; on macOS both go into one TIFF, which the
# Finder shows sharp on every screen.
set(VARNO_FONDO "${CMAKE_BINARY_DIR}/dmg/fondo.png")
set(VARNO_FONDO_2X "${CMAKE_BINARY_DIR}/dmg/fondo@2x.png")
set(fondo_salidas "${VARNO_FONDO}" "${VARNO_FONDO_2X}")
varno_arte(fondo_1x --fondo-dmg "${VARNO_FONDO}" 1)
varno_arte(fondo_2x --fondo-dmg "${VARNO_FONDO_2X}" 2)
set(fondo_comandos COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/dmg"
    ${fondo_1x} ${fondo_2x})
if(APPLE)
    set(VARNO_FONDO_TIFF "${CMAKE_BINARY_DIR}/dmg/fondo.tiff")
    list(APPEND fondo_salidas "${VARNO_FONDO_TIFF}")
    list(APPEND fondo_comandos COMMAND tiffutil -cathidpicheck "${VARNO_FONDO}"
         "${VARNO_FONDO_2X}" -out "${VARNO_FONDO_TIFF}")
endif()
add_custom_command(OUTPUT ${fondo_salidas}
    ${fondo_comandos}
    DEPENDS VARNO
    COMMENT "Drawing the disk image's background with VARNO --fondo-dmg"
    VERBATIM)
if(APPLE)
    add_custom_target(varno_fondo_dmg ALL DEPENDS ${fondo_salidas})
else()
    add_custom_target(varno_fondo_dmg DEPENDS ${fondo_salidas})
endif()

# The package holds the bundle as the build made it, without the bytecode a
# local run of the engine may have left next to its sources.
install(DIRECTORY "${VARNO_BUNDLE}" DESTINATION . USE_SOURCE_PERMISSIONS
    PATTERN "__pycache__" EXCLUDE)
if(APPLE)
    # Qt's frameworks go into the staged bundle, so that it runs on machines
    # without Qt (cmake/macos.cmake stops the configure without macdeployqt).
    install(CODE "execute_process(COMMAND \"${VARNO_MACDEPLOYQT}\"
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/VARNO.app\" COMMAND_ERROR_IS_FATAL ANY)")
    # Signed last, once nothing in the bundle changes any more; then the disk
    # image with the same identity (an ad hoc image would mean nothing).
    install(CODE "execute_process(COMMAND \"${CMAKE_COMMAND}\"
        \"-DBUNDLE=\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/VARNO.app\" \"-DIDENTIDAD=${VARNO_FIRMA}\"
        -P \"${VARNO_CMAKE}/firma.cmake\" COMMAND_ERROR_IS_FATAL ANY)")
    if(VARNO_FIRMA)
        set(CPACK_VARNO_FIRMA "${VARNO_FIRMA}")
        set(CPACK_POST_BUILD_SCRIPTS "${VARNO_CMAKE}/firma.cmake")
    endif()
endif()

set(CPACK_PACKAGE_NAME "VARNO")
set(CPACK_PACKAGE_VENDOR "VARNO")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
if(VARNO_ARQUITECTURA)
    # Built for one kind of Mac only: its name says which.
    set(CPACK_PACKAGE_FILE_NAME "VARNO-${PROJECT_VERSION}-${VARNO_ARQUITECTURA}")
else()
    set(CPACK_PACKAGE_FILE_NAME "VARNO-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}")
endif()
set(CPACK_VERBATIM_VARIABLES ON)
if(APPLE)
    set(CPACK_GENERATOR "DragNDrop")
    set(CPACK_DMG_VOLUME_NAME "VARNO")
    set(CPACK_DMG_FORMAT "UDZO")
    set(CPACK_DMG_BACKGROUND_IMAGE "${VARNO_FONDO_TIFF}")
    set(CPACK_DMG_DS_STORE_SETUP_SCRIPT "${VARNO_CMAKE}/dmg.applescript")
    # Where the Finder cannot be driven, the image gets its plain layout.
    set(CPACK_PROJECT_CONFIG_FILE "${VARNO_CMAKE}/cpack-proyecto.cmake")
else()
    set(CPACK_GENERATOR "TGZ")
    # The archive opens into VARNO.app itself.
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()
include(CPack)
