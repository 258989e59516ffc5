# Run by cpack on the staged package (CPACK_PRE_BUILD_SCRIPTS): strips the programs as Debian's
# dh_strip does, symbols and the .comment and .note sections, so the package carries no debugging
# data. The allocated section with the program's version data stays.
find_program(STRIP_EXECUTABLE strip REQUIRED)
file(GLOB_RECURSE programs LIST_DIRECTORIES false
     "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*" "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/libexec/*")
foreach(program IN LISTS programs)
    execute_process(COMMAND ${STRIP_EXECUTABLE} --remove-section=.comment --remove-section=.note --strip-unneeded
                            ${program} RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "strip failed on ${program}")
    endif()
endforeach()
