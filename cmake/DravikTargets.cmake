# Helpers shared by every folder: warning flags and one static library per source folder.

set(DRAVIK_WARNINGS
    -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow -Wold-style-cast
    -Wnon-virtual-dtor -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough)
if(DRAVIK_WERROR)
    list(APPEND DRAVIK_WARNINGS -Werror)
endif()

function(dravik_warnings target)
    target_compile_options(${target} PRIVATE ${DRAVIK_WARNINGS})
endfunction()

# dravik_library(<folder> [DEPS lib...]): every .cpp of src/<folder> becomes the static
# library dravik_<folder>; headers are included as "<folder>/<file>.h".
function(dravik_library folder)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(sources)
        add_library(dravik_${folder} STATIC ${sources})
        target_include_directories(dravik_${folder} PUBLIC ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(dravik_${folder} PUBLIC ${ARG_DEPS})
        dravik_warnings(dravik_${folder})
    else()
        add_library(dravik_${folder} INTERFACE)
        target_include_directories(dravik_${folder} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(dravik_${folder} INTERFACE ${ARG_DEPS})
    endif()
endfunction()
