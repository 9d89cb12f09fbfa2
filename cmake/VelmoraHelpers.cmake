# Shared settings for every library, test and tool of the project.

function(velmora_apply_settings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# velmora_add_library(<target> SOURCES ... [LINKS ...])
# A static library for one src folder; the folder itself is the include root of its
# users, so '#include "tableitem.h"' works for whoever links the target.
function(velmora_add_library target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_library(${target} STATIC ${ARG_SOURCES})
    target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_LINKS})
    velmora_apply_settings(${target})
endfunction()

# velmora_add_test(<name> LABEL <subsystem folder> SOURCES ... [LINKS ...])
# A Qt Test executable registered with CTest, always headless.
function(velmora_add_test name)
    cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LINKS" ${ARGN})
    if(NOT ARG_LABEL)
        message(FATAL_ERROR "velmora_add_test(${name}) needs a LABEL")
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test velmora_test_support ${ARG_LINKS})
    velmora_apply_settings(${name})
    add_test(NAME ${name} COMMAND ${name})
    set(env "QT_QPA_PLATFORM=offscreen")
    if(VELMORA_SANITIZE)
        list(APPEND env "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
                        "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    endif()
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABEL}" ENVIRONMENT "${env}")
endfunction()

# velmora_add_tool(<name> SOURCES ... [LINKS ...]): developer tools, built with the project.
function(velmora_add_tool name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS})
    velmora_apply_settings(${name})
endfunction()

# Adds each listed sub-folder that has a CMakeLists.txt, so a folder joins the build
# when its first source lands.
macro(velmora_add_existing_subdirectories)
    foreach(dir ${ARGN})
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
            add_subdirectory(${dir})
        endif()
    endforeach()
endmacro()
