# Fails when an image that a Markdown file shows is not in the source tree:
# every ![text](path) and <img src="path"> with a relative path, taken
# relative to the file's folder.
#
#   cmake -DMARKDOWN=README.md -P readme_images.cmake
if(NOT DEFINED MARKDOWN OR NOT EXISTS "${MARKDOWN}")
    message(FATAL_ERROR "readme_images: MARKDOWN names no file: '${MARKDOWN}'")
endif()
get_filename_component(folder "${MARKDOWN}" DIRECTORY)
file(READ "${MARKDOWN}" text)

string(REGEX MATCHALL "!\\[[^]]*\\]\\([^)]+\\)" shown "${text}")
string(REGEX MATCHALL "<img[^>]* src=\"[^\"]+\"" tags "${text}")
set(paths "")
foreach(item IN LISTS shown)
    # The path, without a title ("...") after it.
    string(REGEX REPLACE "^!\\[[^]]*\\]\\(([^) ]+).*\\)$" "\\1" path "${item}")
    list(APPEND paths "${path}")
endforeach()
foreach(item IN LISTS tags)
    string(REGEX REPLACE "^.* src=\"([^\"]+)\"$" "\\1" path "${item}")
    list(APPEND paths "${path}")
endforeach()
if(paths STREQUAL "")
    message(FATAL_ERROR "readme_images: ${MARKDOWN} shows no image")
endif()

set(missing "")
foreach(path IN LISTS paths)
    if(path MATCHES "^[a-z]+:")
        continue()  # a web address
    endif()
    if(NOT EXISTS "${folder}/${path}" OR IS_DIRECTORY "${folder}/${path}")
        list(APPEND missing "${path}")
    endif()
endforeach()
list(LENGTH paths count)
if(missing)
    string(REPLACE ";" ", " missing "${missing}")
    message(FATAL_ERROR "readme_images: ${MARKDOWN} shows images that are not there: ${missing}")
endif()
message(STATUS "readme_images: all ${count} images of ${MARKDOWN} are there")
