# The real window on a virtual X screen, looked at and read through the
# accessibility bus as a screen reader reads it; left out without xvfb-run or
# dbus-run-session, skipped (77) without xdotool or pyatspi, which
# is Debian's and so needs Debian's own Python.
find_program(VARNO_PYTHON3_SISTEMA python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(VARNO_XVFB_RUN xvfb-run)
find_program(VARNO_DBUS_RUN_SESSION dbus-run-session)
if(VARNO_PYTHON3_SISTEMA AND VARNO_XVFB_RUN AND VARNO_DBUS_RUN_SESSION)
    # A session bus of its own, which starts the accessibility bus, then the screen; -noreset,
    # else the short visit of the accessibility bus resets the server as VARNO connects.
    add_test(NAME ui.ventana_real
        COMMAND "${VARNO_DBUS_RUN_SESSION}" -- "${VARNO_XVFB_RUN}" -a -s "-noreset -screen 0 1024x768x24"
            "${VARNO_PYTHON3_SISTEMA}" "${CMAKE_CURRENT_LIST_DIR}/ventana_real.py" "$<TARGET_FILE:VARNO>")
    # The keyboard journey starts an engine stand-in, whose answer is awaited on the port.
    set_tests_properties(ui.ventana_real PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120
        RESOURCE_LOCK puerto8770)
endif()
