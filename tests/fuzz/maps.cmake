# Map imagery: the SGI reader, JPEG decoding and the texture cache reader, without OpenGL.
foreach(target sgi_image_fuzz jpeg_image_fuzz texture_cache_fuzz)
  halvex_fuzzer(${target} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp LIBS halvex_maps)
endforeach()
