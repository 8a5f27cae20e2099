# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# portlark_add_test(NAME LIBS libraries...): the QtTest program NAME, built from NAME.cpp in the
# calling folder and linked with LIBS, as one CTest test. It runs with the offscreen platform and
# a pinned locale, and a test that fails must fail within a minute, not hang until the suite is
# killed.
function(portlark_add_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "LIBS")
    add_executable(${name} ${name}.cpp)
    target_link_libraries(${name} PRIVATE ${arg_LIBS})
    portlark_strict(${name})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8"
        TIMEOUT 60)
endfunction()
