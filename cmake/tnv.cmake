# Project-wide compile settings and the helper that makes one static library per subsystem folder.

add_library(tnv_options INTERFACE)
target_compile_options(tnv_options INTERFACE -Wall -Wextra -Wshadow=local -Wno-missing-field-initializers)
if(TNV_WERROR)
  target_compile_options(tnv_options INTERFACE -Werror)
endif()
if(TNV_SANITIZE)
  target_compile_options(tnv_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                         -fno-sanitize-recover=undefined)
  target_link_options(tnv_options INTERFACE -fsanitize=address,undefined)
  # -O1 keeps the reports exact and runs the instrumented tests about twice as fast as -O0.
  # The compiler's flow warnings misfire on instrumented code (the standard library's own
  # function and fill templates); the normal build keeps them.
  target_compile_options(tnv_options INTERFACE $<$<CONFIG:Debug>:-O1> -Wno-maybe-uninitialized -Wno-stringop-overflow -Wno-array-bounds)
endif()
if(TNV_TSAN)
  if(TNV_SANITIZE)
    message(FATAL_ERROR "TNV_TSAN and TNV_SANITIZE cannot be combined: build them apart")
  endif()
  target_compile_options(tnv_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(tnv_options INTERFACE -fsanitize=thread)
endif()
if(TNV_FUZZ)
  # Coverage for the fuzz targets in every library they reach.
  target_compile_options(tnv_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(tnv_options INTERFACE -fsanitize=address,undefined)
endif()
target_include_directories(tnv_options INTERFACE ${PROJECT_SOURCE_DIR})

# Line tables and function names are enough for backtraces and sanitizer reports, and build in
# about two thirds of the time full debug information takes (the test suite builds three times).
if(NOT TNV_FULL_DEBUG_INFO)
  target_compile_options(tnv_options INTERFACE $<$<CONFIG:Debug,RelWithDebInfo>:-g1>)
endif()

# lld links the large test programs several times faster than the default linker.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld TNV_HAVE_LLD)
if(TNV_HAVE_LLD)
  target_link_options(tnv_options INTERFACE -fuse-ld=lld)
endif()

# tnv_module(NAME [DEPS external-lib...]) builds tnv_NAME from every .cpp in the current folder
# (subfolders included), so adding a source file needs no edit here. Files named main.cpp are left
# out: program entries belong to their executables, not to a library. DEPS are outside libraries
# only (SDL2, png, ...); other tnv_ modules come through tnv_all.
function(tnv_module name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  add_library(tnv_${name} STATIC ${srcs})
  target_link_libraries(tnv_${name} PUBLIC tnv_options ${ARG_DEPS})
endfunction()
