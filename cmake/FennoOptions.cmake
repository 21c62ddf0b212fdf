# Warnings and sanitizers applied to the project's own targets only.
set(FENNO_WARNINGS -Wall -Wextra -Werror -Wno-error=deprecated-declarations)

set(FENNO_SAN_FLAGS "")
if(FENNO_SANITIZE)
  set(FENNO_SAN_FLAGS -fsanitize=${FENNO_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
endif()

# Fuzz builds instrument the library for coverage; the fuzz mains add -fsanitize=fuzzer.
if(FENNO_BUILD_FUZZ)
  list(APPEND FENNO_SAN_FLAGS -fsanitize=fuzzer-no-link)
endif()

function(fenno_target_defaults target)
  target_compile_options(${target} PRIVATE ${FENNO_WARNINGS})
  if(FENNO_SAN_FLAGS)
    target_compile_options(${target} PRIVATE ${FENNO_SAN_FLAGS})
    target_link_options(${target} PUBLIC ${FENNO_SAN_FLAGS})
  endif()
endfunction()

# One GoogleTest executable per test folder; labels let make test rerun subsets under sanitizers.
function(fenno_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  fenno_target_defaults(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "${T_LABELS}" TIMEOUT 120)
endfunction()
