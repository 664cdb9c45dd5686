# One interface target carries the project's warning policy; every target links it.
add_library(kov_warnings INTERFACE)
target_compile_options(kov_warnings INTERFACE -Wall -Wextra -Werror)
# GCC 12 reports false -Wrestrict errors inside std::string at -O3 (GCC bug 105651).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(kov_warnings INTERFACE -Wno-restrict)
endif()
