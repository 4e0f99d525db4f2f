# varnel_layer(NAME [DEPENDS layer...]): the portable layer src/NAME as the static library
# varnel_NAME, from the sources of its own folder only, seeing the layers below it.
set(VARNEL_PORTABLE_LAYERS "" CACHE INTERNAL "")
function(varnel_layer name)
    cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_library(varnel_${name} STATIC ${sources})
    target_include_directories(varnel_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src
                               ${CMAKE_BINARY_DIR}/generated)
    target_include_directories(varnel_${name} SYSTEM PUBLIC ${VARNEL_THIRD_PARTY})
    list(TRANSFORM ARG_DEPENDS PREPEND varnel_)
    target_link_libraries(varnel_${name} PUBLIC ${ARG_DEPENDS} PRIVATE varnel_warnings)
    set(VARNEL_PORTABLE_LAYERS ${VARNEL_PORTABLE_LAYERS} varnel_${name} CACHE INTERNAL "")
endfunction()
