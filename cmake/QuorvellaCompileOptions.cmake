# Strict warnings and hardening for every target of the project.
function(quorvella_target_defaults target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic $<$<COMPILE_LANGUAGE:CXX>:-Wold-style-cast>
        $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>
        -Wshadow=local
        -Werror
        -fstack-protector-strong)
    target_compile_definitions(${target} PRIVATE
        QT_NO_URL_CAST_FROM_STRING
        QUORVELLA_VERSION="${PROJECT_VERSION}"
        $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
    if(QUORVELLA_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

# A static library of one subsystem.
function(quorvella_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    quorvella_target_defaults(${name})
    if(QUORVELLA_SANITIZE)
        target_link_options(${name} INTERFACE -fsanitize=address,undefined)
    endif()
endfunction()
