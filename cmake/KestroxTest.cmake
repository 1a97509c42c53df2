# kestrox_add_test(<name> SOURCES <files...> LIBRARIES <targets...> [LABELS <labels...>]
#                  [WRAPPER <program>] [PROPERTIES <test properties...>])
#
# One executable per unit, run by CTest offscreen with the sanitizer
# suppressions applied.
function(kestrox_add_test name)
    cmake_parse_arguments(ARG "" "WRAPPER" "SOURCES;LIBRARIES;LABELS;PROPERTIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBRARIES})
    if(ARG_WRAPPER)
        add_test(NAME ${name} COMMAND ${ARG_WRAPPER} $<TARGET_FILE:${name}>)
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    if(NOT ARG_LABELS)
        set(ARG_LABELS unit)
    endif()
    set_tests_properties(${name} PROPERTIES
        LABELS "${ARG_LABELS}"
        TIMEOUT 120
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
        ${ARG_PROPERTIES})
endfunction()
