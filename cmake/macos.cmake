# What a Mac build is built for. Included after Qt has been found, before any
# target is made: the compiler flags read these values when targets are made.

# The lowest macOS that a Qt release supports, which is the lowest VARNO can
# run on: Qt 6.4 to 6.7 run on macOS 11, 6.8 and 6.9 on 12, 6.10 and later on 13.
function(varno_macos_minimo version_qt salida)
    if(version_qt VERSION_LESS 6.8)
        set(${salida} 11.0 PARENT_SCOPE)
    elseif(version_qt VERSION_LESS 6.10)
        set(${salida} 12.0 PARENT_SCOPE)
    else()
        set(${salida} 13.0 PARENT_SCOPE)
    endif()
endfunction()

# The architectures both of `bibliotecas` hold (a list of files, each as
# `lipo -archs` tells them), among arm64 and x86_64.
function(varno_arquitecturas_comunes salida)
    set(comunes arm64 x86_64)
    foreach(archivo IN LISTS ARGN)
        execute_process(COMMAND lipo -archs "${archivo}" OUTPUT_VARIABLE tiene
            RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(NOT rc EQUAL 0)
            set(tiene "${CMAKE_HOST_SYSTEM_PROCESSOR}")
        endif()
        string(REPLACE " " ";" tiene "${tiene}")
        list(TRANSFORM tiene REPLACE "^x86_64h$" "x86_64")
        set(quedan "")
        foreach(a IN LISTS comunes)
            if(a IN_LIST tiene)
                list(APPEND quedan ${a})
            endif()
        endforeach()
        set(comunes ${quedan})
    endforeach()
    set(${salida} ${comunes} PARENT_SCOPE)
endfunction()

varno_macos_minimo("${Qt6_VERSION}" VARNO_MACOS_MINIMO)
set(VARNO_ARQUITECTURA "")
if(APPLE)
    # One value for the compiler and Info.plist: a Mac older than it is told
    # by the Finder that it cannot open VARNO, instead of VARNO crashing.
    # A builder may aim higher, never lower.
    if(CMAKE_OSX_DEPLOYMENT_TARGET VERSION_GREATER VARNO_MACOS_MINIMO)
        set(VARNO_MACOS_MINIMO "${CMAKE_OSX_DEPLOYMENT_TARGET}")
    endif()
    set(CMAKE_OSX_DEPLOYMENT_TARGET "${VARNO_MACOS_MINIMO}")
    if(NOT CMAKE_OSX_ARCHITECTURES)
        # Universal when every library linked has both slices; the Qt
        # installer's Qt has them, Homebrew's has only the Mac's own.
        get_target_property(qtcore Qt6::Core LOCATION)
        varno_arquitecturas_comunes(arquitecturas "${qtcore}" "${PNG_LIBRARY}")
        if(NOT arquitecturas)
            set(arquitecturas "${CMAKE_HOST_SYSTEM_PROCESSOR}")
        endif()
        set(CMAKE_OSX_ARCHITECTURES "${arquitecturas}")
    endif()
    list(LENGTH CMAKE_OSX_ARCHITECTURES cuantas)
    if(cuantas EQUAL 1)
        # The disk image then says which Macs it is for.
        set(VARNO_ARQUITECTURA "${CMAKE_OSX_ARCHITECTURES}")
    endif()
    message(STATUS "VARNO for macOS ${VARNO_MACOS_MINIMO} and later, ${CMAKE_OSX_ARCHITECTURES}")

    find_program(VARNO_MACDEPLOYQT macdeployqt
        HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}" "${QT6_INSTALL_PREFIX}/bin")
    if(NOT VARNO_MACDEPLOYQT)
        message(FATAL_ERROR "macdeployqt is missing: it comes with Qt (the Qt installer's, or brew install qt); "
            "name it with -DVARNO_MACDEPLOYQT=…")
    endif()
endif()
# Kept where the packaging tests read it beside Info.plist.
set(VARNO_MACOS_MINIMO "${VARNO_MACOS_MINIMO}" CACHE INTERNAL "The lowest macOS this build runs on")
