# What a Windows build (cmake/mingw-w64-x86_64.cmake) takes in place of the Linux packages:
# CLI11 and nlohmann-json from the host's header-only packages, GoogleTest built from its
# sources, and no Qt, udev, nettle or USB gadget.
if(TARNWICK_SANITIZE)
    message(FATAL_ERROR "MinGW-w64 has no AddressSanitizer: build Windows without TARNWICK_SANITIZE")
endif()
set(TARNWICK_GADGET OFF)

# One self-contained .exe: the MinGW runtime (libgcc, libstdc++, winpthread) linked in, so
# neither wine nor a Windows machine needs its DLLs next to the program.
add_link_options(-static)
# GCC 12's <typeinfo> defines type_info::operator== inline in C++23 while the static libstdc++
# still carries its own copy (GCC bug 110572); the two are the same function.
add_link_options(-Wl,--allow-multiple-definition)
# Windows 10 and later: CM_Register_Notification and the UTF-8 conversions need it.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 UNICODE _UNICODE)

# The header-only libraries come from the host's /usr/include, which must not come before
# MinGW's own C headers: a folder of links to just those two is on the include path instead.
set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${host_headers})
foreach(dir CLI nlohmann)
    if(NOT EXISTS /usr/include/${dir})
        message(FATAL_ERROR "/usr/include/${dir} is missing: run scripts/setup")
    endif()
    file(CREATE_LINK /usr/include/${dir} ${host_headers}/${dir} SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${host_headers})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${host_headers})

if(BUILD_TESTING)
    set(TARNWICK_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources")
    if(NOT EXISTS ${TARNWICK_GTEST_SOURCE}/CMakeLists.txt)
        message(FATAL_ERROR "${TARNWICK_GTEST_SOURCE} is missing: run scripts/setup")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${TARNWICK_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL
                     SYSTEM)
    foreach(lib gtest gtest_main gmock gmock_main)
        # GoogleTest is not held to this project's warnings.
        set_target_properties(${lib} PROPERTIES COMPILE_OPTIONS "")
    endforeach()
    enable_testing()
endif()

# The dialog needs Qt for Windows: given its MinGW prefix in TARNWICK_WINDOWS_QT (and
# QT_HOST_PATH, a host Qt of the same version for moc and the translations, as Qt's own cross
# builds ask) it is built. Without one its sources are still compiled, not linked, against the
# host's Qt headers, so that nothing that only Linux has creeps into them.
set(TARNWICK_WINDOWS_QT "" CACHE PATH "Qt for MinGW-w64's prefix, for the dialog")
if(TARNWICK_WINDOWS_QT)
    list(APPEND CMAKE_FIND_ROOT_PATH ${TARNWICK_WINDOWS_QT})
    find_package(Qt6 REQUIRED COMPONENTS Widgets LinguistTools)
else()
    set(TARNWICK_HOST_QT_HEADERS /usr/include/x86_64-linux-gnu/qt6)
    if(NOT EXISTS ${TARNWICK_HOST_QT_HEADERS}/QtWidgets/QDialog)
        message(FATAL_ERROR "${TARNWICK_HOST_QT_HEADERS} is missing: run scripts/setup")
    endif()
    set(TARNWICK_DIALOG_COMPILE_ONLY ON)
endif()

# An object library of `sources` that is never linked: the compile-only check above.
function(tarnwick_compile_only target)
    cmake_parse_arguments(C "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${target} OBJECT ${C_SOURCES})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
    target_include_directories(${target} SYSTEM PRIVATE ${TARNWICK_HOST_QT_HEADERS}
        ${TARNWICK_HOST_QT_HEADERS}/QtCore ${TARNWICK_HOST_QT_HEADERS}/QtGui
        ${TARNWICK_HOST_QT_HEADERS}/QtWidgets)
    # Only for the include paths and definitions of the layers below.
    target_link_libraries(${target} PRIVATE ${C_LIBS})
endfunction()
