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
# wdc runs on the build machine (cmake/HostTools.cmake says which one).

include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/HostTools.cmake)

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
    updater_host_tool(wdc wdc wdc_depends)

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
