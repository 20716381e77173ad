# The product: 32-bit Windows gauge modules, dist/korvane3.gau and dist/vantric.gau.
enable_language(RC)
set(GAUGE_DIST_DIR ${PROJECT_SOURCE_DIR}/dist CACHE PATH "where the .gau files go")

# DirectSoundCreate is imported by ordinal 1 alone; the toolchain's own import
# library would import it by name.
set(DSOUND_ORDINAL_LIB ${CMAKE_CURRENT_BINARY_DIR}/libdsound_ordinal.a)
add_custom_command(
  OUTPUT ${DSOUND_ORDINAL_LIB}
  COMMAND ${CMAKE_DLLTOOL} -d ${PROJECT_SOURCE_DIR}/platform/windows/dsound_ordinal.def -l ${DSOUND_ORDINAL_LIB}
  DEPENDS ${PROJECT_SOURCE_DIR}/platform/windows/dsound_ordinal.def
  COMMENT "Import library for dsound.dll by ordinal")
add_custom_target(dsound_ordinal DEPENDS ${DSOUND_ORDINAL_LIB})

function(add_product_gauge name)
  cmake_parse_arguments(GAUGE "" "" "SOURCES;LIBRARIES" ${ARGN})
  set(bmp ${CMAKE_CURRENT_BINARY_DIR}/${name}_bitmap.bmp)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${name}_resources.rc)
  add_custom_command(
    OUTPUT ${bmp} ${rc}
    COMMAND ${Python3_EXECUTABLE} ${MAKE_RESOURCES} ${name} --bmp ${bmp} --rc ${rc}
    DEPENDS ${MAKE_RESOURCES}
    COMMENT "Resources of ${name}")
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${bmp})
  add_library(${name} SHARED ${GAUGE_SOURCES} ${rc} ${PROJECT_SOURCE_DIR}/platform/windows/gauge_exports.def)
  add_dependencies(${name} dsound_ordinal)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE -Wall -Wextra -O2)
  target_link_options(${name} PRIVATE -static-libgcc -static-libstdc++ -s)
  target_link_libraries(${name} PRIVATE ${DSOUND_ORDINAL_LIB} ${GAUGE_LIBRARIES})
  set_target_properties(${name} PROPERTIES
    PREFIX "" SUFFIX ".gau"
    RUNTIME_OUTPUT_DIRECTORY ${GAUGE_DIST_DIR}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/implib)
endfunction()

add_product_gauge(korvane3 SOURCES ${KORVANE3_SOURCES} LIBRARIES winmm)
add_product_gauge(vantric SOURCES ${VANTRIC_SOURCES})
