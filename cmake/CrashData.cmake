# Embedding the crash reporter's data (reporting options and debug data) in
# a Windows executable, as its CLDATA resource.
#
#   include(${PROJECT_SOURCE_DIR}/cmake/CrashData.cmake)
#   updater_embed_crash_data(TARGET <target> OPTIONS <file.ini>
#                            [ALIASES <name>=<function>...])
#
# The debug data describes the executable's own code, so it is made from a
# first link of the same objects and libraries (<target>_pass1, with a
# placeholder CLDATA resource that holds no block):
#   1. cldgen reads <target>_pass1's symbols and line tables and writes the
#      CLDATA block with the options of <file.ini> (keys as in
#      exceptions/options_text.h);
#   2. windres turns it into a resource object, and <target> is linked with
#      it. The resource section follows all code and data, so growing it moves
#      nothing the debug data describes;
#   3. cldgen verify checks that: every section the loader keeps, except the
#      resources and relocations, is byte for byte that of the first link. A
#      difference fails the build.
# The unstripped <target> is then kept beside it as <name>.unstripped.exe,
# and <target> itself is stripped of symbols and debug sections.
#
# <target>'s compiled sources move into an object library, <target>_objects,
# which both links use. Call the function in the folder that defines
# <target>, after its sources, libraries and compile settings are set.
# ALIASES add name-table entries that the reporter looks up by name (cldgen
# --alias). The native build has no resources: there the call does nothing.

include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/HostTools.cmake)

function(updater_embed_crash_data)
    cmake_parse_arguments(arg "" "TARGET;OPTIONS" "ALIASES" ${ARGN})
    if(NOT arg_TARGET OR NOT arg_OPTIONS)
        message(FATAL_ERROR "updater_embed_crash_data needs TARGET and OPTIONS")
    endif()
    if(NOT UPDATER_WIN32)
        return()
    endif()
    set(target ${arg_TARGET})
    get_filename_component(options ${arg_OPTIONS} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/crash_data/${target})
    file(MAKE_DIRECTORY ${dir})
    updater_host_tool(cldgen cldgen cldgen_depends)

    # The compiled sources go into the object library; resource objects and
    # other ready objects stay with each link.
    get_target_property(sources ${target} SOURCES)
    set(compiled)
    set(ready)
    foreach(source IN LISTS sources)
        get_source_file_property(external ${source} EXTERNAL_OBJECT)
        if(external OR source MATCHES "\\.(obj|o)$")
            list(APPEND ready ${source})
        else()
            list(APPEND compiled ${source})
        endif()
    endforeach()
    get_target_property(libraries ${target} LINK_LIBRARIES)
    if(NOT libraries)
        set(libraries)
    endif()
    add_library(${target}_objects OBJECT ${compiled})
    # Usage requirements of the libraries, and the target's own settings.
    target_link_libraries(${target}_objects PRIVATE ${libraries})
    foreach(property COMPILE_DEFINITIONS COMPILE_OPTIONS INCLUDE_DIRECTORIES COMPILE_FEATURES)
        get_target_property(value ${target} ${property})
        if(value)
            set_property(TARGET ${target}_objects PROPERTY ${property} ${value})
        endif()
    endforeach()
    get_target_property(dependencies ${target} MANUALLY_ADDED_DEPENDENCIES)
    if(dependencies)
        add_dependencies(${target}_objects ${dependencies})
    endif()

    # Pass 1: the same objects and libraries, and a CLDATA resource without
    # a block (four bytes: the linker cannot merge an empty resource).
    set(placeholder_bin ${dir}/placeholder.bin)
    set(placeholder_rc ${dir}/placeholder.rc)
    set(placeholder ${dir}/placeholder.rc.obj)
    file(WRITE ${placeholder_bin} "none")
    file(WRITE ${placeholder_rc} "CLDATA RCDATA \"${placeholder_bin}\"\n")
    add_custom_command(
        OUTPUT ${placeholder}
        COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${placeholder_rc} -o ${placeholder}
        DEPENDS ${placeholder_rc}
        COMMENT "Compiling the placeholder crash data of ${target}"
        VERBATIM)
    set_source_files_properties(${placeholder} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
    add_executable(${target}_pass1 $<TARGET_OBJECTS:${target}_objects> ${ready} ${placeholder})
    target_link_libraries(${target}_pass1 PRIVATE ${libraries})
    foreach(property WIN32_EXECUTABLE LINK_OPTIONS LINK_FLAGS LINK_DEPENDS)
        get_target_property(value ${target} ${property})
        if(value)
            set_property(TARGET ${target}_pass1 PROPERTY ${property} ${value})
        endif()
    endforeach()
    if(dependencies)
        add_dependencies(${target}_pass1 ${dependencies})
    endif()

    # The block, its resource object, and pass 2.
    set(block ${dir}/CLDATA.bin)
    set(block_rc ${dir}/cldata.rc)
    set(block_object ${dir}/cldata.rc.obj)
    set(aliases)
    foreach(alias IN LISTS arg_ALIASES)
        list(APPEND aliases --alias ${alias})
    endforeach()
    add_custom_command(
        OUTPUT ${block}
        COMMAND ${cldgen} build --options ${options} --output ${block}
                --source-root ${PROJECT_SOURCE_DIR} --build-dir ${CMAKE_BINARY_DIR} ${aliases}
                $<TARGET_FILE:${target}_pass1>
        DEPENDS ${target}_pass1 ${options} ${cldgen_depends}
        COMMENT "Making the crash data of ${target}"
        VERBATIM)
    file(WRITE ${block_rc} "CLDATA RCDATA \"${block}\"\n")
    add_custom_command(
        OUTPUT ${block_object}
        COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${block_rc} -o ${block_object}
        DEPENDS ${block_rc} ${block}
        COMMENT "Compiling the crash data of ${target}"
        VERBATIM)
    set_source_files_properties(${block_object} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
    set_property(TARGET ${target} PROPERTY SOURCES
                 $<TARGET_OBJECTS:${target}_objects> ${ready} ${block_object})
    set_target_properties(${target} ${target}_pass1 PROPERTIES LINKER_LANGUAGE CXX)

    set(unstripped $<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.unstripped.exe)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${cldgen} verify $<TARGET_FILE:${target}_pass1> $<TARGET_FILE:${target}>
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${unstripped}
        COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:${target}>
        COMMAND ${cldgen} verify ${unstripped} $<TARGET_FILE:${target}>
        COMMENT "Checking the second link of ${target} against the first; stripping it"
        VERBATIM)
    set_property(TARGET ${target} APPEND PROPERTY ADDITIONAL_CLEAN_FILES ${unstripped})
endfunction()
