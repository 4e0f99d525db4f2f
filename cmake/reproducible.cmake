# Byte-identical programs from the same sources in any folder at any time: no time stamp in the
# PE header, and neither the source nor the build folder in any string the compiler writes
# (__FILE__ in assertions, debug information before stripping). The resource compiler takes no
# such flags and writes no time stamp.
if(MINGW)
    add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>"
                        "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>")
    add_link_options(-Wl,--no-insert-timestamp)
endif()
