add_library(velm_warnings INTERFACE)
target_compile_options(velm_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                               -Wno-sign-conversion)
if(VELM_WARNINGS_AS_ERRORS)
  target_compile_options(velm_warnings INTERFACE -Werror)
endif()
if(VELM_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
if(VELM_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VELM_BUILD_FUZZ needs clang (libFuzzer)")
  endif()
  # libstdc++ 12 enables <expected> only for compilers that announce the C++20 concepts of
  # P2493; clang 16 implements them without saying so.
  add_compile_definitions(__cpp_concepts=202002L)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all -Wno-macro-redefined)
  add_link_options(-fsanitize=address,undefined)
endif()
