# The real window: VARNO started on a virtual X screen with a fresh home folder,
# its window captured and checked. Skipped (exit 77) where Xvfb, xdotool or
# ImageMagick are missing.
find_program(VARNO_PYTHON3 python3)
if(VARNO_PYTHON3)
    add_test(NAME ui.ventana_real
        COMMAND "${VARNO_PYTHON3}" "${CMAKE_CURRENT_LIST_DIR}/ventana_real.py" "$<TARGET_FILE:VARNO>")
else()
    add_test(NAME ui.ventana_real
        COMMAND sh -c "echo 'SALTADA: falta python3'; exit 77")
endif()
set_tests_properties(ui.ventana_real PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
