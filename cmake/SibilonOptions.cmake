# Warnings, sanitizers and the helper functions every folder uses.

add_library(sib_options INTERFACE)
target_compile_options(sib_options INTERFACE -Wall -Wextra -Wpedantic)
# GCC 12 at -O2 and above warns falsely of overlapping copies inside std::string's concatenation
# (its bug 105329); the warning says nothing about our code, so it is off for that compiler.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(sib_options INTERFACE -Wno-restrict)
endif()
if(SIB_WERROR)
  target_compile_options(sib_options INTERFACE -Werror)
endif()
target_include_directories(sib_options INTERFACE ${PROJECT_SOURCE_DIR})

if(SIB_SANITIZE)
  set(_sib_san_flags -fsanitize=${SIB_SANITIZE} -fno-omit-frame-pointer)
  if(SIB_SANITIZE MATCHES "undefined")
    list(APPEND _sib_san_flags -fno-sanitize-recover=undefined)
  endif()
  target_compile_options(sib_options INTERFACE ${_sib_san_flags})
  target_link_options(sib_options INTERFACE ${_sib_san_flags})
endif()

# sib_library(NAME SOURCES... [DEPS libs...]): one static library per subsystem folder.
function(sib_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC sib_options ${ARG_DEPS})
endfunction()

# sib_test(NAME [THREADED] [DEPS libs...]): one test executable from every *_test.cpp in the calling
# folder. THREADED executables also run under ThreadSanitizer (ctest label "threaded"); the TSan build
# skips the others.
function(sib_test name)
  cmake_parse_arguments(ARG "THREADED" "" "DEPS" ${ARGN})
  if(SIB_TSAN_ONLY_THREADED AND NOT ARG_THREADED)
    return()
  endif()
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*/*_test.cpp)
  find_package(GTest REQUIRED)
  add_executable(${name} ${_sources})
  target_link_libraries(${name} PRIVATE sib_options ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  set(_labels unit)
  if(ARG_THREADED)
    set(_labels threaded)
  endif()
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${_labels} ENVIRONMENT "SDL_AUDIODRIVER=dummy;SDL_VIDEODRIVER=offscreen")
endfunction()

# Adds every immediate subfolder that has a CMakeLists.txt, so that a new folder needs no edit here.
function(sib_add_subfolders)
  file(GLOB _children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(_child IN LISTS _children)
    if(IS_DIRECTORY ${_child} AND EXISTS ${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endfunction()
