# The native build: the same gauge sources as Linux shared libraries against
# our own platform, the simulated host, the tests, the benchmarks and tools.
option(GAUGE_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
set(GAUGE_DIST_DIR ${PROJECT_SOURCE_DIR}/dist CACHE PATH "where the product .gau files are checked")

add_compile_options(-Wall -Wextra)
if(GAUGE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

file(GLOB PLATFORM_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/platform/native/src/*.cpp)
add_library(gaugeplatform SHARED ${PLATFORM_SOURCES})
target_include_directories(gaugeplatform PUBLIC ${PROJECT_SOURCE_DIR}/platform/native/include)
target_link_libraries(gaugeplatform PUBLIC ${CMAKE_DL_LIBS})

# A gauge module: its records are the only exports (the version script hides
# everything else), and its heap and stream
# calls go through the platform so that tests can fail and count them.
function(add_native_gauge name)
  set(table ${CMAKE_CURRENT_BINARY_DIR}/${name}_resources.cpp)
  add_custom_command(
    OUTPUT ${table}
    COMMAND ${Python3_EXECUTABLE} ${MAKE_RESOURCES} ${name} --cpp ${table}
    DEPENDS ${MAKE_RESOURCES}
    COMMENT "Resources of ${name}")
  add_library(${name} SHARED ${ARGN} ${table})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE gaugeplatform)
  target_link_options(${name} PRIVATE
    -Wl,--wrap=malloc -Wl,--wrap=calloc -Wl,--wrap=free -Wl,--wrap=fopen -Wl,--wrap=fclose
    -Wl,-Bsymbolic
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/platform/native/gauge_exports.map)
  if(NOT GAUGE_SANITIZE)
    # A symbol the module needs but nobody defines fails the build, not the load.
    # (Sanitized modules take the sanitizer runtime from the program.)
    target_link_options(${name} PRIVATE -Wl,-z,defs)
  endif()
  set_target_properties(${name} PROPERTIES PREFIX "" LINK_DEPENDS ${PROJECT_SOURCE_DIR}/platform/native/gauge_exports.map)
endfunction()

add_native_gauge(korvane3 ${KORVANE3_SOURCES})
add_native_gauge(vantric ${VANTRIC_SOURCES})

# The same gauge code as static libraries, for tests and benchmarks that call
# a gauge's inner routines directly. Their heap calls are not wrapped: tests
# that fail allocations go through the loaded modules.
foreach(gauge korvane3 vantric)
  string(TOUPPER ${gauge} upper)
  add_library(${gauge}_code STATIC ${${upper}_SOURCES})
  target_include_directories(${gauge}_code PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${gauge}_code PUBLIC gaugeplatform)
endforeach()

file(GLOB HOST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/host/*.cpp)
add_library(panelhost STATIC ${HOST_SOURCES})
target_include_directories(panelhost PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(panelhost PUBLIC gaugeplatform)
target_compile_definitions(panelhost PUBLIC
  KORVANE3_MODULE_PATH="$<TARGET_FILE:korvane3>"
  VANTRIC_MODULE_PATH="$<TARGET_FILE:vantric>")
add_dependencies(panelhost korvane3 vantric)

enable_testing()
# Found once here so that every folder below (tests, benchmarks, tools) sees them.
find_package(GTest REQUIRED)
if(EXISTS ${PROJECT_SOURCE_DIR}/tests/CMakeLists.txt)
  add_subdirectory(tests)
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/host/gaugehost/CMakeLists.txt)
  add_subdirectory(host/gaugehost)
endif()
