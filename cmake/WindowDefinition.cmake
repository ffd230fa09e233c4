# Compiling window definitions into the program.
#
#   include(${PROJECT_SOURCE_DIR}/cmake/WindowDefinition.cmake)
#   updater_compile_definition(TARGET <target> SOURCE <file> OUTPUT <name>)
#
# At build time the host tool wdc checks SOURCE, replaces each file("...") in
# it by the file's bytes (paths relative to SOURCE's folder) and writes the
# expanded definition under the current build folder. It is then embedded in
# TARGET under the name OUTPUT (letters, digits and '_'), where
# framework::EmbeddedDefinition("OUTPUT") finds it:
# - Windows build: a resource script with RCDATA OUTPUT, compiled by windres;
# - native build: generated C++ source that registers the text.
# The generated file is added to TARGET itself when it is an executable; for
# a library it is added to the library's INTERFACE sources, so that it lands
# in every executable that links the library (a resource or a registration
# inside a static library would be dropped by the linker). Call the function
# in the folder that defines TARGET. Changes to SOURCE or to the files it names
# rebuild the embedded text.
#
# wdc runs on the build machine. The native build uses its own wdc target.
# The Windows build uses the wdc of a native build when UPDATER_HOST_TOOLS
# names that build's folder (scripts/test passes build/native); without it,
# the first use builds wdc natively under <build>/host-tools.

include_guard(GLOBAL)

set(UPDATER_HOST_TOOLS "" CACHE PATH
    "Folder of a native build whose wdc the Windows build runs (empty: build one)")

# Sets <out_command> to the wdc to run and <out_depends> to what a command
# running it depends on.
function(_updater_wdc out_command out_depends)
    if(NOT UPDATER_WIN32)
        set(${out_command} $<TARGET_FILE:wdc> PARENT_SCOPE)
        set(${out_depends} wdc PARENT_SCOPE)
        return()
    endif()
    if(UPDATER_HOST_TOOLS)
        set(wdc ${UPDATER_HOST_TOOLS}/tools/wdc/wdc)
        if(NOT EXISTS ${wdc})
            message(FATAL_ERROR "UPDATER_HOST_TOOLS=${UPDATER_HOST_TOOLS} holds no tools/wdc/wdc: "
                                "build the native tree first")
        endif()
        set(${out_command} ${wdc} PARENT_SCOPE)
        set(${out_depends} ${wdc} PARENT_SCOPE)
        return()
    endif()
    # A native build of wdc alone, made once per Windows build tree.
    set(dir ${CMAKE_BINARY_DIR}/host-tools)
    set(wdc ${dir}/tools/wdc/wdc)
    if(NOT TARGET updater_host_wdc)
        include(ExternalProject)
        ExternalProject_Add(updater_host_wdc
            SOURCE_DIR ${PROJECT_SOURCE_DIR}
            BINARY_DIR ${dir}
            CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DUPDATER_TESTS=OFF
            BUILD_COMMAND ${CMAKE_COMMAND} --build ${dir} --target wdc
            BUILD_ALWAYS ON
            BUILD_BYPRODUCTS ${wdc}
            INSTALL_COMMAND "")
    endif()
    set(${out_command} ${wdc} PARENT_SCOPE)
    set(${out_depends} updater_host_wdc ${wdc} PARENT_SCOPE)
endfunction()

function(updater_compile_definition)
    cmake_parse_arguments(arg "" "TARGET;SOURCE;OUTPUT" "" ${ARGN})
    if(NOT arg_TARGET OR NOT arg_SOURCE OR NOT arg_OUTPUT)
        message(FATAL_ERROR "updater_compile_definition needs TARGET, SOURCE and OUTPUT")
    endif()
    if(NOT arg_OUTPUT MATCHES "^[A-Za-z0-9_]+$")
        message(FATAL_ERROR "updater_compile_definition: OUTPUT ${arg_OUTPUT} must be letters, "
                            "digits and '_'")
    endif()
    get_filename_component(source ${arg_SOURCE} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/definitions)
    set(expanded ${dir}/${arg_OUTPUT}.wdef)
    set(depfile ${dir}/${arg_OUTPUT}.d)
    file(MAKE_DIRECTORY ${dir})
    _updater_wdc(wdc wdc_depends)

    if(UPDATER_WIN32)
        set(rc ${dir}/${arg_OUTPUT}.rc)
        set(embedded ${dir}/${arg_OUTPUT}.rc.obj)
        set(extra --rc ${rc})
        set(generated ${expanded} ${rc})
    else()
        set(embedded ${dir}/${arg_OUTPUT}.cpp)
        set(extra --cpp ${embedded})
        set(generated ${expanded} ${embedded})
    endif()
    add_custom_command(
        OUTPUT ${generated}
        COMMAND ${wdc} ${source} ${expanded} --name ${arg_OUTPUT} ${extra} --depfile ${depfile}
        DEPENDS ${source} ${wdc_depends}
        DEPFILE ${depfile}
        COMMENT "Compiling window definition ${arg_OUTPUT}"
        VERBATIM)
    if(UPDATER_WIN32)
        # windres turns the script into an object file with the resource.
        add_custom_command(
            OUTPUT ${embedded}
            COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${rc} -o ${embedded}
            DEPENDS ${rc} ${expanded}
            COMMENT "Embedding window definition ${arg_OUTPUT}"
            VERBATIM)
        set_source_files_properties(${embedded} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
    endif()

    # A target of this folder that makes the files, so that the rules exist
    # here even when only targets of other folders compile them.
    add_custom_target(${arg_TARGET}_definition_${arg_OUTPUT} DEPENDS ${generated} ${embedded})
    add_dependencies(${arg_TARGET} ${arg_TARGET}_definition_${arg_OUTPUT})

    get_target_property(type ${arg_TARGET} TYPE)
    if(type STREQUAL "EXECUTABLE")
        target_sources(${arg_TARGET} PRIVATE ${embedded})
    else()
        target_sources(${arg_TARGET} INTERFACE ${embedded})
    endif()
endfunction()
