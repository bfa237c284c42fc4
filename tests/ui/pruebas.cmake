# The real window on a virtual X screen, looked at and read through the
# accessibility bus as a screen reader reads it; skipped (77) without Xvfb,
# xdotool, ImageMagick, dbus-daemon, the bus launcher or pyatspi, which is
# Debian's and so needs Debian's own Python.
find_program(VARNO_PYTHON3_SISTEMA python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(VARNO_PYTHON3_SISTEMA)
    add_test(NAME ui.ventana_real
        COMMAND "${VARNO_PYTHON3_SISTEMA}" "${CMAKE_CURRENT_LIST_DIR}/ventana_real.py" "$<TARGET_FILE:VARNO>")
    set_tests_properties(ui.ventana_real PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
endif()
