# tarnwick_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s]
#                   [WAKE_WORD_FILTER gtest-filter])
# One GoogleTest executable; each test case becomes its own CTest test so that CTest can run
# slow cases (fixed time-outs of the service) in parallel.
set(TARNWICK_TEST_LOCK_DIR ${CMAKE_BINARY_DIR}/test-locks)
file(MAKE_DIRECTORY ${TARNWICK_TEST_LOCK_DIR})

function(tarnwick_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT;WAKE_WORD_FILTER" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  tarnwick_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} tarnwick_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  # An empty LABELS value would swallow the next property name, so add it only when given.
  # Ports the tests open write their UUCP lock files in the build tree, never in the machine's
  # /run/lock. Each environment property holds one variable: the generated test script quotes
  # every value on its own, so a list would not reach CTest whole.
  set(properties TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "TARNWICK_LOCK_DIR=${TARNWICK_TEST_LOCK_DIR}")
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES ${properties})
  # The tests of WAKE_WORD_FILTER (a gtest filter) run a second time with waits on several
  # objects sleeping on the namespace's wake-up word, as on kernels without futex_waitv.
  if(ARG_WAKE_WORD_FILTER)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST TEST_SUFFIX ".wake_word"
      TEST_FILTER "${ARG_WAKE_WORD_FILTER}"
      PROPERTIES ${properties} ENVIRONMENT_MODIFICATION "TARNWICK_WAIT=set:futex")
  endif()
endfunction()

# Adds every immediate sub-folder of the current folder that has a CMakeLists.txt, so that
# areas can be added without editing a shared list.
function(tarnwick_add_subfolders)
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
