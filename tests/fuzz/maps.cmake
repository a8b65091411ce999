# Map imagery: the SGI reader, JPEG decoding and the texture cache reader, without OpenGL.
foreach(target sgi_image_fuzz jpeg_image_fuzz texture_cache_fuzz)
  halvex_fuzzer(${target} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp LIBS halvex_maps)
endforeach()
# The whole map load (cache, fallback to the SGI or JPEG reader, cache rewrite) with a stand-in
# for its OpenGL work, under the map picture limit.
halvex_fuzzer(map_load_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/map_load_fuzz.cpp LIBS halvex_maps)
# A raster opened through GDAL from the fuzz bytes (an in-memory file), its georeference, mesh
# and tiles read under the map picture limit.
if(HALVEX_GDAL)
  halvex_fuzzer(raster_source_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/raster_source_fuzz.cpp
    LIBS halvex_maps)
endif()
