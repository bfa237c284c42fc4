# The real window on a virtual X screen; skipped (77) without Xvfb, xdotool or ImageMagick.
find_program(VARNO_PYTHON3 python3)
if(VARNO_PYTHON3)
    add_test(NAME ui.ventana_real
        COMMAND "${VARNO_PYTHON3}" "${CMAKE_CURRENT_LIST_DIR}/ventana_real.py" "$<TARGET_FILE:VARNO>")
    set_tests_properties(ui.ventana_real PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
endif()
