# Tools that run on the build machine while the program is built (wdc,
# cldgen): which one to run, in either tree.
#
#   include(${PROJECT_SOURCE_DIR}/cmake/HostTools.cmake)
#   updater_host_tool(<tool> <out_command> <out_depends>)
#
# sets <out_command> to the tool to run and <out_depends> to what a command
# running it depends on. The native build runs its own target. The Windows
# build runs the tool of a native build when UPDATER_HOST_TOOLS names that
# build's folder (scripts/test passes build/native); without it, the first use
# builds the host tools natively under <build>/host-tools.

include_guard(GLOBAL)

set(UPDATER_HOST_TOOLS "" CACHE PATH
    "Folder of a native build whose host tools the Windows build runs (empty: build them)")

function(updater_host_tool tool out_command out_depends)
    # Every host tool, built together when the Windows build makes its own.
    set(tools wdc cldgen)
    if(NOT tool IN_LIST tools)
        message(FATAL_ERROR "updater_host_tool: ${tool} is not a host tool")
    endif()
    if(NOT UPDATER_WIN32)
        set(${out_command} $<TARGET_FILE:${tool}> PARENT_SCOPE)
        set(${out_depends} ${tool} PARENT_SCOPE)
        return()
    endif()
    if(UPDATER_HOST_TOOLS)
        set(path ${UPDATER_HOST_TOOLS}/tools/${tool}/${tool})
        if(NOT EXISTS ${path})
            message(FATAL_ERROR "UPDATER_HOST_TOOLS=${UPDATER_HOST_TOOLS} holds no "
                                "tools/${tool}/${tool}: build the native tree first")
        endif()
        set(${out_command} ${path} PARENT_SCOPE)
        set(${out_depends} ${path} PARENT_SCOPE)
        return()
    endif()
    # A native build of the host tools alone, made once per Windows build tree.
    set(dir ${CMAKE_BINARY_DIR}/host-tools)
    if(NOT TARGET updater_host_tools)
        set(build_commands)
        set(byproducts)
        foreach(name IN LISTS tools)
            list(APPEND build_commands --target ${name})
            list(APPEND byproducts ${dir}/tools/${name}/${name})
        endforeach()
        include(ExternalProject)
        ExternalProject_Add(updater_host_tools
            SOURCE_DIR ${PROJECT_SOURCE_DIR}
            BINARY_DIR ${dir}
            CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DUPDATER_TESTS=OFF
            BUILD_COMMAND ${CMAKE_COMMAND} --build ${dir} ${build_commands}
            BUILD_ALWAYS ON
            BUILD_BYPRODUCTS ${byproducts}
            INSTALL_COMMAND "")
    endif()
    set(${out_command} ${dir}/tools/${tool}/${tool} PARENT_SCOPE)
    set(${out_depends} updater_host_tools ${dir}/tools/${tool}/${tool} PARENT_SCOPE)
endfunction()
