# What a Mac build is built for. Included before project(), so that the
# compiler's own checks already run for the macOS and the architectures the
# program is built for; `varno_comprobar_mac()` checks the choice once Qt is
# found. Also runs as a script (cmake -P), which prints the choice.
cmake_minimum_required(VERSION 3.25)

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

# The architectures all the given binaries hold (each as `lipo -archs` tells
# it), among arm64 and x86_64; a binary lipo cannot read counts as the Mac's own.
function(varno_arquitecturas_comunes salida)
    # Before project() the host's processor is not known yet.
    execute_process(COMMAND uname -m OUTPUT_VARIABLE propia OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(comunes arm64 x86_64)
    foreach(archivo IN LISTS ARGN)
        execute_process(COMMAND lipo -archs "${archivo}" OUTPUT_VARIABLE tiene
            RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(NOT rc EQUAL 0)
            set(tiene "${propia}")
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

# The Qt that find_package() will find, looked up where it looks first: Qt6_DIR,
# CMAKE_PREFIX_PATH (the Qt installer's folder is named there) and Homebrew's.
# Gives its version and its QtCore binary; both empty when none is found.
function(varno_qt_del_mac version core)
    set(carpetas "")
    if(Qt6_DIR)
        list(APPEND carpetas "${Qt6_DIR}")
    endif()
    string(REPLACE ":" ";" del_entorno "$ENV{CMAKE_PREFIX_PATH}")
    foreach(prefijo IN LISTS CMAKE_PREFIX_PATH del_entorno ITEMS /opt/homebrew /usr/local)
        list(APPEND carpetas "${prefijo}/lib/cmake/Qt6")
    endforeach()
    foreach(carpeta IN LISTS carpetas)
        if(EXISTS "${carpeta}/Qt6ConfigVersion.cmake")
            file(STRINGS "${carpeta}/Qt6ConfigVersion.cmake" linea
                REGEX "set\\(PACKAGE_VERSION \"[0-9.]+\"\\)" LIMIT_COUNT 1)
            string(REGEX MATCH "[0-9][0-9.]*" encontrada "${linea}")
            get_filename_component(lib "${carpeta}/../.." ABSOLUTE)
            set(${version} "${encontrada}" PARENT_SCOPE)
            set(${core} "${lib}/QtCore.framework/QtCore" PARENT_SCOPE)
            return()
        endif()
    endforeach()
    set(${version} "" PARENT_SCOPE)
    set(${core} "" PARENT_SCOPE)
endfunction()

# Sets CMAKE_OSX_DEPLOYMENT_TARGET and CMAKE_OSX_ARCHITECTURES, unless a
# builder gave them: a higher macOS is kept, never a lower one. Universal when
# Qt holds both slices (the Qt installer's does, Homebrew's has only the Mac's
# own); the other libraries come from the SDK, which holds both.
macro(varno_destino_mac)
    varno_qt_del_mac(varno_qt_version varno_qt_core)
    if(NOT varno_qt_version)
        message(STATUS "No Qt 6 found yet for the Mac build: name it with -DCMAKE_PREFIX_PATH=…")
    else()
        varno_macos_minimo("${varno_qt_version}" varno_minimo)
        if(CMAKE_OSX_DEPLOYMENT_TARGET VERSION_GREATER varno_minimo)
            set(varno_minimo "${CMAKE_OSX_DEPLOYMENT_TARGET}")
        endif()
        set(CMAKE_OSX_DEPLOYMENT_TARGET "${varno_minimo}" CACHE STRING
            "The lowest macOS VARNO runs on" FORCE)
        if(NOT CMAKE_OSX_ARCHITECTURES)
            varno_arquitecturas_comunes(varno_arquitecturas "${varno_qt_core}")
            set(CMAKE_OSX_ARCHITECTURES "${varno_arquitecturas}" CACHE STRING
                "The kinds of Mac VARNO is built for")
        endif()
    endif()
endmacro()

# Once Qt is found: the values that Info.plist and the package's name take,
# and on a Mac a check that the Qt found is the one the choice was made for.
function(varno_comprobar_mac)
    varno_macos_minimo("${Qt6_VERSION}" minimo)
    set(arquitectura "")
    if(APPLE)
        if(CMAKE_OSX_DEPLOYMENT_TARGET VERSION_LESS minimo)
            message(FATAL_ERROR "Qt ${Qt6_VERSION} (${Qt6_DIR}) needs macOS ${minimo} or later, "
                "not ${CMAKE_OSX_DEPLOYMENT_TARGET}: configure a new build folder, naming that Qt "
                "with -DCMAKE_PREFIX_PATH=….")
        endif()
        set(minimo "${CMAKE_OSX_DEPLOYMENT_TARGET}")
        get_target_property(qtcore Qt6::Core LOCATION)
        varno_arquitecturas_comunes(tiene "${qtcore}")
        foreach(a IN LISTS CMAKE_OSX_ARCHITECTURES)
            if(NOT a IN_LIST tiene)
                message(FATAL_ERROR "The Qt found (${qtcore}) has no ${a} slice: build for "
                    "-DCMAKE_OSX_ARCHITECTURES=\"${tiene}\", or name a universal Qt.")
            endif()
        endforeach()
        list(LENGTH CMAKE_OSX_ARCHITECTURES cuantas)
        if(cuantas EQUAL 1)
            # The disk image then says which Macs it is for.
            set(arquitectura "${CMAKE_OSX_ARCHITECTURES}")
        endif()
        message(STATUS "VARNO for macOS ${minimo} and later, ${CMAKE_OSX_ARCHITECTURES}")

        find_program(VARNO_MACDEPLOYQT macdeployqt
            HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}" "${QT6_INSTALL_PREFIX}/bin")
        if(NOT VARNO_MACDEPLOYQT)
            message(FATAL_ERROR "macdeployqt is missing: it comes with Qt (the Qt installer's, or brew install qt); "
                "name it with -DVARNO_MACDEPLOYQT=…")
        endif()
    endif()
    # Kept where the packaging tests read it beside Info.plist.
    set(VARNO_MACOS_MINIMO "${minimo}" CACHE INTERNAL "The lowest macOS this build runs on")
    set(VARNO_ARQUITECTURA "${arquitectura}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    varno_destino_mac()
    message("${CMAKE_OSX_DEPLOYMENT_TARGET} ${CMAKE_OSX_ARCHITECTURES}")
elseif(CMAKE_HOST_APPLE)
    varno_destino_mac()
endif()
