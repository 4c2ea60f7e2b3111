# Common compile settings and the one-library-per-folder rule.

add_library(vellicor_options INTERFACE)
target_compile_options(vellicor_options INTERFACE -Wall -Wextra -Wpedantic)
if(VELLICOR_WERROR)
  target_compile_options(vellicor_options INTERFACE -Werror)
endif()
if(VELLICOR_SANITIZE)
  target_compile_options(vellicor_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(vellicor_options INTERFACE -fsanitize=address,undefined)
endif()
if(VELLICOR_FUZZ)
  # Coverage for libFuzzer in every library the fuzz targets link.
  target_compile_options(vellicor_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# vellicor_library(NAME [SOURCES ...] [DEPS ...]): one static library, by
# default from every .cpp of the calling folder except main.cpp.
function(vellicor_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;SOURCES" ${ARGN})
  if(ARG_SOURCES)
    set(srcs ${ARG_SOURCES})
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  endif()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC vellicor_options ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE vellicor_options ${ARG_DEPS})
  endif()
endfunction()

# vellicor_test(NAME FOLDER DEPS ...): one GoogleTest program from every .cpp
# in tests/FOLDER, registered with ctest test by test.
function(vellicor_test name folder)
  cmake_parse_arguments(ARG "GUI" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE vellicor_options ${ARG_DEPS} GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    VELLICOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    VELLICOR_REAL_TESTDATA="${PROJECT_SOURCE_DIR}/../shared/testdata/real")
  if(ARG_GUI)
    set(env "QT_QPA_PLATFORM=offscreen")
  else()
    set(env "")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "${env}")
endfunction()
