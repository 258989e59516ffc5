# Runs the layer check on small trees made here and checks what it accepts and what it names.
cmake_minimum_required(VERSION 3.25)

# run_case(<name> <expect: OK|FAIL> <table rows or DEFAULT> [<file> <content>]... EXPECT <text>...)
# Makes a tree of the given files, runs the check on it and compares. Contents hold no ';' (it
# would cut them as a CMake list).
function(run_case name expect table)
    cmake_parse_arguments(ARG "" "" "EXPECT" ${ARGN})
    set(tree "${WORK}/${name}")
    file(REMOVE_RECURSE "${tree}")
    file(MAKE_DIRECTORY "${tree}")
    set(files ${ARG_UNPARSED_ARGUMENTS})
    while(files)
        list(POP_FRONT files path content)
        file(WRITE "${tree}/${path}" "${content}")
    endwhile()
    if(table STREQUAL "DEFAULT")
        set(table "")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${tree} "-DLAYER_TABLE=${table}" -P ${CHECK}
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    string(REGEX REPLACE "[ \n]+" " " output "${output}") # CMake wraps its error text
    if(expect STREQUAL "OK" AND NOT result EQUAL 0)
        message(SEND_ERROR "${name}: refused a good tree:\n${output}")
    elseif(expect STREQUAL "FAIL" AND result EQUAL 0)
        message(SEND_ERROR "${name}: accepted a bad tree")
    endif()
    foreach(text IN LISTS ARG_EXPECT)
        string(FIND "${output}" "${text}" at)
        if(at EQUAL -1)
            message(SEND_ERROR "${name}: the output does not name \"${text}\":\n${output}")
        endif()
    endforeach()
endfunction()

# Includes downwards, beside the file and to a sub-folder; tests and build folders are not read.
run_case(downwards OK DEFAULT
    probe/job.cpp "#include \"firmware/check.h\"\n#include \"scan/record/row.h\"\n#include \"job.h\"\n"
    probe/job.h "#include \"net/fetch.h\"\n"
    ui/window.cpp "#include \"ui/framework/box.h\"\n#include \"app/settings.h\"\n"
    tests/any.cpp "#include \"ui/window.h\"\n"
    build/gcc/generated.cpp "#include \"ui/window.h\"\n")
# An include upwards is named with its file, line and edge, each of them.
run_case(upwards FAIL DEFAULT
    firmware/check.cpp "// update check\n#include \"firmware/check.h\"\n#include \"probe/job.h\"\n"
    support/trace/xdbg.cpp "#include \"support/profile/profile.h\"\n"
    scan/record/row.h "  #  include \"scan/engine.h\"\n"
    EXPECT "firmware/check.cpp:3: includes \"probe/job.h\": firmware may not use probe"
           "support/trace/xdbg.cpp:1: includes \"support/profile/profile.h\": support/trace may not use support/profile"
           "scan/record/row.h:1: includes \"scan/engine.h\": scan/record may not use scan")
# Neighbours on one layer do not use each other unless the table says so.
run_case(sideways FAIL DEFAULT
    cli/main.cpp "#include \"ui/window.h\"\n"
    support/text/token.cpp "#include \"support/threads/thread.h\"\n"
    EXPECT "cli may not use ui" "support/text may not use support/threads")
run_case(no_layer FAIL DEFAULT
    misc/extra.cpp "int x = 0\n"
    app/settings.cpp "#include \"testsupport/temp_folder.h\"\n"
    EXPECT "misc/extra.cpp: lies in no layer" "app/settings.cpp:1: includes \"testsupport/temp_folder.h\", which lies in no layer")
# Folders of one layer may still not include each other both ways.
run_case(folder_cycle FAIL DEFAULT
    ui/window.h "#include \"ui/framework/box.h\"\n"
    ui/framework/box.cpp "#include \"ui/window.h\"\n"
    EXPECT "folders include each other in a cycle: ui -> ui/framework -> ui")
run_case(table_cycle FAIL "low : high;high : mid;mid : low"
    low/a.cpp "int a = 0\n"
    EXPECT "layer table: a cycle low -> high -> mid -> low")
run_case(table_unknown FAIL "low : nothing"
    low/a.cpp "int a = 0\n"
    EXPECT "layer table: low uses nothing, which is no layer")
