# Runs the string-table generator on small language files and checks that it accepts the good
# ones with their texts intact and refuses every broken one.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

string(ASCII 9 TAB)

# run_case(<name> <expect: OK|FAIL> <english content> <german content> [<text that must appear>
#          [<text that must appear in the header of names>]])
function(run_case name expect english german)
    file(WRITE "${WORK}/${name}-en.txt" "${english}")
    file(WRITE "${WORK}/${name}-de.txt" "${german}")
    execute_process(
        COMMAND ${CMAKE_COMMAND} -DENGLISH=${WORK}/${name}-en.txt -DGERMAN=${WORK}/${name}-de.txt
                -DOUTPUT=${WORK}/${name}.cpp -DHEADER=${WORK}/${name}.h -P ${GENERATOR}
        RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
    if(expect STREQUAL "OK" AND NOT result EQUAL 0)
        message(SEND_ERROR "${name}: refused a good file:\n${errors}")
    elseif(expect STREQUAL "FAIL" AND result EQUAL 0)
        message(SEND_ERROR "${name}: accepted a broken file")
    elseif(expect STREQUAL "OK" AND ARGC GREATER 4)
        file(READ "${WORK}/${name}.cpp" generated)
        string(FIND "${generated}" "${ARGV4}" at)
        if(at EQUAL -1)
            message(SEND_ERROR "${name}: generated code lacks ${ARGV4}:\n${generated}")
        endif()
    endif()
    if(expect STREQUAL "OK" AND ARGC GREATER 5)
        file(READ "${WORK}/${name}.h" header)
        string(FIND "${header}" "${ARGV5}" at)
        if(at EQUAL -1)
            message(SEND_ERROR "${name}: the header of names lacks ${ARGV5}:\n${header}")
        endif()
    endif()
endfunction()

run_case(good OK "# remark\n\n7${TAB}a;b [c] \\\\ \\\" \\n end\r\n8${TAB}x\n" "8${TAB}y\n7${TAB}z\n"
         "{7, \"a;b [c] \\\\ \\\" \\n end\"}")
run_case(leading_zero OK "007${TAB}x\n" "7${TAB}y\n" "{7, \"x\"}")
run_case(trailing_backslash FAIL "7${TAB}a\\\n8${TAB}b\n" "7${TAB}y\n8${TAB}z\n")
run_case(unknown_escape FAIL "7${TAB}a\\x41\n" "7${TAB}y\n")
run_case(raw_quote FAIL "7${TAB}a\"b\n" "7${TAB}y\n")
run_case(raw_tab FAIL "7${TAB}a${TAB}b\n" "7${TAB}y\n")
run_case(duplicate_id FAIL "7${TAB}a\n7${TAB}b\n" "7${TAB}y\n")
run_case(missing_in_german FAIL "7${TAB}a\n8${TAB}b\n" "7${TAB}y\n")
run_case(extra_in_german FAIL "7${TAB}a\n" "7${TAB}y\n9${TAB}z\n")
run_case(no_tab FAIL "7 a\n" "7 y\n")
run_case(no_id FAIL "x${TAB}a\n" "x${TAB}y\n")
run_case(empty FAIL "# nothing\n" "# nothing\n")

# Names: "id<TAB>Name<TAB>text", the same in both files; a text may go without one.
run_case(named OK "7${TAB}StopSearch${TAB}a\n8${TAB}b\n" "8${TAB}z\n7${TAB}StopSearch${TAB}y\n" "{7, \"a\"}"
         "    StopSearch = 7,\n};")
run_case(name_differs FAIL "7${TAB}Stop${TAB}a\n" "7${TAB}Halt${TAB}y\n")
run_case(name_missing_in_german FAIL "7${TAB}Stop${TAB}a\n" "7${TAB}y\n")
run_case(name_twice FAIL "7${TAB}Stop${TAB}a\n8${TAB}Stop${TAB}b\n" "7${TAB}Stop${TAB}y\n8${TAB}Stop${TAB}z\n")
run_case(name_with_blank FAIL "7${TAB}Stop search${TAB}a\n" "7${TAB}Stop search${TAB}y\n")
run_case(named_raw_tab FAIL "7${TAB}Stop${TAB}a${TAB}b\n" "7${TAB}Stop${TAB}y\n")
