# Test setup shared by both builds.
#
# Natively the system GoogleTest is used. In the Windows build GoogleTest is
# compiled from Debian's source package, and every test executable runs under
# Wine through the runner that CMake uses as the cross-compiling emulator.

if(NOT UPDATER_TESTS)
    return()
endif()

enable_testing()

if(UPDATER_WIN32)
    set(UPDATER_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${UPDATER_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL
                     SYSTEM)

    # The Wine runner: the Wine of the target's architecture, a private prefix
    # under the build folder, Chinese (PRC) regional settings, a virtual
    # display when there is none.
    set(UPDATER_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(UPDATER_WINE_DIR /usr/lib/wine CACHE PATH "Folder of Wine's loaders and server")
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(UPDATER_WINE_BITS 64)
        set(UPDATER_WINEARCH win64)
        set(UPDATER_WINE_LOADER ${UPDATER_WINE_DIR}/wine64)
    else()
        set(UPDATER_WINE_BITS 32)
        set(UPDATER_WINEARCH win32)
        set(UPDATER_WINE_LOADER ${UPDATER_WINE_DIR}/wine)
    endif()
    set(UPDATER_WINESERVER ${UPDATER_WINE_DIR}/wineserver64)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE @ONLY)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
else()
    find_package(GTest REQUIRED)
endif()

# Folder where tests leave files for a person to look at (screen captures).
set(UPDATER_TEST_OUTPUT ${CMAKE_BINARY_DIR}/test-output)
file(MAKE_DIRECTORY ${UPDATER_TEST_OUTPUT})

# updater_add_test(NAME SOURCES ... [LIBRARIES ...] [WIN32_ONLY])
# One executable and one CTest test per call: starting a Wine process costs
# time, so the cases of a subsystem share an executable.
function(updater_add_test name)
    cmake_parse_arguments(arg "WIN32_ONLY" "" "SOURCES;LIBRARIES" ${ARGN})
    if(arg_WIN32_ONLY AND NOT UPDATER_WIN32)
        return()
    endif()
    add_executable(${name} ${arg_SOURCES})
    target_link_libraries(${name} PRIVATE ${arg_LIBRARIES} GTest::gtest_main GTest::gtest)
    # Under Wine the host's root folder is drive Z:.
    set(drive "")
    if(UPDATER_WIN32)
        set(drive "Z:")
    endif()
    target_compile_definitions(${name}
        PRIVATE UPDATER_TEST_OUTPUT="${drive}${UPDATER_TEST_OUTPUT}"
                UPDATER_TEST_DATA="${drive}${PROJECT_SOURCE_DIR}/tests/data")
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=0)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
    if(arg_WIN32_ONLY)
        # Tests that put windows on the virtual display and move the mouse
        # take turns: run side by side, their windows would overlap and one
        # test's input would reach the other's windows.
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK virtual_display)
    endif()
endfunction()
