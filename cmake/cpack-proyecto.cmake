# Read by cpack once per generator, before it packages.
#
# The disk image's layout drives the Finder with AppleScript, which needs the
# user's consent to automation: over SSH or in CI there is nobody to give it,
# and the layout script would fail the whole package. The Finder is asked
# first, briefly; without an answer the image is made with the Finder's plain
# layout (its background picture still inside), and one line says so.
if(CPACK_GENERATOR STREQUAL "DragNDrop" AND CPACK_DMG_DS_STORE_SETUP_SCRIPT)
    if(NOT CPACK_VARNO_FINDER_SEGUNDOS)
        set(CPACK_VARNO_FINDER_SEGUNDOS 30)
    endif()
    execute_process(COMMAND osascript -e "tell application \"Finder\" to get name of startup disk"
        RESULT_VARIABLE respuesta OUTPUT_QUIET ERROR_VARIABLE queja
        TIMEOUT ${CPACK_VARNO_FINDER_SEGUNDOS})
    if(NOT respuesta EQUAL 0)
        string(STRIP "${queja}" queja)
        string(REGEX REPLACE "[\r\n]+" " " queja "${queja}")
        if(NOT queja)
            set(queja "osascript: ${respuesta}")
        endif()
        message("Warning: the Finder cannot be driven here (${queja}); the disk image gets "
            "its plain layout.")
        unset(CPACK_DMG_DS_STORE_SETUP_SCRIPT)
    endif()
endif()
