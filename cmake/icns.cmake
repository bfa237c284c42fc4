# Makes the macOS icon file (-DICNS) from the 1024 × 1024 icon (-DPNG): an
# iconset with every size the system asks for, then iconutil.
get_filename_component(carpeta "${ICNS}" DIRECTORY)
set(iconset "${carpeta}/icono.iconset")
file(REMOVE_RECURSE "${iconset}")
file(MAKE_DIRECTORY "${iconset}")
foreach(lado 16 32 128 256 512)
    math(EXPR doble "${lado} * 2")
    foreach(par "${lado};icon_${lado}x${lado}.png" "${doble};icon_${lado}x${lado}@2x.png")
        list(GET par 0 pixeles)
        list(GET par 1 nombre)
        execute_process(COMMAND sips -z ${pixeles} ${pixeles} "${PNG}" --out "${iconset}/${nombre}"
                        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
endforeach()
execute_process(COMMAND iconutil -c icns "${iconset}" -o "${ICNS}" COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE "${iconset}")
