# Sanitizers apply to the whole build so that every library and test runs instrumented.
if(TARNWICK_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(TARNWICK_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT TARNWICK_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TARNWICK_SANITIZE must be empty, 'address' or 'thread'")
endif()
if(NOT TARNWICK_SANITIZE STREQUAL "")
  add_compile_definitions(TARNWICK_SANITIZED=1)
endif()

# A fuzzing build instruments every library for libFuzzer's coverage and checks it with
# ASan+UBSan; only the fuzz targets link libFuzzer's own main.
if(TARNWICK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TARNWICK_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
