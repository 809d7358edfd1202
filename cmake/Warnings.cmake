# Warnings for every target of the project (not for third-party code).
function(tarnwick_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wpedantic)
  if(TARNWICK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
option(TARNWICK_WERROR "Treat warnings as errors" OFF)
