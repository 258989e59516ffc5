# The layer check: every #include "..." of the program's sources and headers has to stay inside
# its own folder's layer or go to a layer the table below allows. Script mode:
#   cmake -DROOT=<source root> [-DGRAPH=ON] [-DLAYER_TABLE=<rows>] -P cmake/layer_check.cmake
# Fails naming file:line and the forbidden edge; also when a source lies in no layer, when the
# table itself has a cycle, or when the folders' includes form a cycle (the table allows a folder
# to use its own sub-folders and the other way round, e.g. ui/ and ui/framework/). With GRAPH it
# prints the folder graph it found. tests/, bench/ and build folders are not checked: tests may
# use anything. docs/architecture.md describes the layers.

cmake_minimum_required(VERSION 3.25)

# "<layer folder> : <layers it may use directly>". What those may use is allowed as well; a file
# belongs to the longest layer folder that holds it.
set(kLayerTable
    "support/text    :"
    "support/dirs    : support/text"
    "support/threads :"
    "resources       :"
    "support/trace   : support/text support/dirs support/threads resources"
    "support/profile : support/trace"
    "net             : support/profile"
    "scan/record     : net"
    "firmware        : scan/record"
    "probe           : firmware"
    "scan            : probe"
    "app             : scan"
    "ui              : app"
    "cli             : app"
    "tools           : ui"
    "sim             : support/text"
    "helper          : net")
# The check's own test runs it with other tables.
if(NOT "${LAYER_TABLE}" STREQUAL "")
    set(kLayerTable ${LAYER_TABLE})
endif()

if(NOT DEFINED ROOT)
    message(FATAL_ERROR "layer_check.cmake: ROOT is not set")
endif()
get_filename_component(ROOT "${ROOT}" ABSOLUTE)

set(problems "")
macro(report text)
    string(APPEND problems "${text}\n")
endmacro()

# ---- The table ----
set(layers "")
foreach(row IN LISTS kLayerTable)
    if(NOT row MATCHES "^([^ :]+) *:(.*)$")
        message(FATAL_ERROR "layer table: cannot read \"${row}\"")
    endif()
    set(layer "${CMAKE_MATCH_1}")
    string(STRIP "${CMAKE_MATCH_2}" uses)
    separate_arguments(uses UNIX_COMMAND "${uses}")
    list(APPEND layers "${layer}")
    set("uses_${layer}" ${uses})
endforeach()
foreach(layer IN LISTS layers)
    foreach(used IN LISTS "uses_${layer}")
        if(NOT used IN_LIST layers)
            report("layer table: ${layer} uses ${used}, which is no layer")
        endif()
    endforeach()
endforeach()

# find_cycle(<out> <nodes> <prefix>): a cycle of the graph whose edges of node n are in the list
# variable <prefix>n, as "a -> b -> a", or empty. Peels off nodes whose edges all lead to nodes
# already peeled off; what remains holds a cycle, which following edges inside it finds.
function(find_cycle out nodes prefix)
    set(left ${nodes})
    set(progress TRUE)
    while(progress)
        set(progress FALSE)
        foreach(node IN LISTS left)
            set(blocked FALSE)
            foreach(next IN LISTS "${prefix}${node}")
                if(next IN_LIST left AND NOT next STREQUAL node)
                    set(blocked TRUE)
                    break()
                endif()
            endforeach()
            if(NOT blocked)
                list(REMOVE_ITEM left "${node}")
                set(progress TRUE)
            endif()
        endforeach()
    endwhile()
    if(left STREQUAL "")
        set(${out} "" PARENT_SCOPE)
        return()
    endif()
    list(GET left 0 node)
    set(path "")
    while(NOT node IN_LIST path)
        list(APPEND path "${node}")
        foreach(next IN LISTS "${prefix}${node}")
            if(next IN_LIST left AND NOT next STREQUAL node)
                set(node "${next}")
                break()
            endif()
        endforeach()
    endwhile()
    list(FIND path "${node}" start)
    list(SUBLIST path ${start} -1 cycle)
    list(APPEND cycle "${node}")
    list(JOIN cycle " -> " text)
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

find_cycle(table_cycle "${layers}" "uses_")
if(table_cycle)
    report("layer table: a cycle ${table_cycle}")
endif()

# Everything a layer may use: itself, what it uses, and what those may use.
foreach(layer IN LISTS layers)
    set(reached "${layer}")
    set(todo ${uses_${layer}})
    while(todo)
        list(POP_FRONT todo next)
        if(NOT next IN_LIST reached)
            list(APPEND reached "${next}")
            list(APPEND todo ${uses_${next}})
        endif()
    endwhile()
    set("allowed_${layer}" ${reached})
endforeach()

# The layer of a path relative to the root: its longest layer folder, or nothing.
function(layer_of out path)
    set(best "")
    foreach(layer IN LISTS layers)
        string(LENGTH "${layer}" length)
        string(LENGTH "${best}" best_length)
        if(path MATCHES "^${layer}/" AND length GREATER best_length)
            set(best "${layer}")
        endif()
    endforeach()
    set(${out} "${best}" PARENT_SCOPE)
endfunction()

# ---- The sources ----
file(GLOB_RECURSE sources RELATIVE "${ROOT}" LIST_DIRECTORIES false
     "${ROOT}/*.h" "${ROOT}/*.hpp" "${ROOT}/*.c" "${ROOT}/*.cc" "${ROOT}/*.cpp" "${ROOT}/*.h.in")
list(FILTER sources EXCLUDE REGEX "^(tests|bench|build[^/]*|\\.[^/]*)/")
list(SORT sources)

# Lines are cut at line feeds; characters CMake lists treat specially travel as control
# characters meanwhile (source files hold none of them).
string(ASCII 1 kSemicolon)
string(ASCII 2 kOpenBracket)
string(ASCII 3 kCloseBracket)

set(folders "")
set(checked 0)
set(include_count 0)
foreach(source IN LISTS sources)
    math(EXPR checked "${checked} + 1")
    layer_of(from_layer "${source}")
    if(from_layer STREQUAL "")
        report("${source}: lies in no layer (add its folder to the table in cmake/layer_check.cmake)")
        continue()
    endif()
    get_filename_component(from_folder "${source}" DIRECTORY)
    list(APPEND folders "${from_folder}")

    file(READ "${ROOT}/${source}" content)
    if(NOT content MATCHES "#[ \t]*include[ \t]*\"")
        continue()
    endif()
    string(REPLACE ";" "${kSemicolon}" content "${content}")
    string(REPLACE "[" "${kOpenBracket}" content "${content}")
    string(REPLACE "]" "${kCloseBracket}" content "${content}")
    string(REPLACE "\n" ";" lines "${content}")
    set(number 0)
    foreach(line IN LISTS lines)
        math(EXPR number "${number} + 1")
        if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
            continue()
        endif()
        set(target "${CMAKE_MATCH_1}")
        math(EXPR include_count "${include_count} + 1")
        # From the root as the program writes them; a name beside the including file also works.
        layer_of(to_layer "${target}")
        set(to_path "${target}")
        if(to_layer STREQUAL "" AND EXISTS "${ROOT}/${from_folder}/${target}")
            set(to_path "${from_folder}/${target}")
            layer_of(to_layer "${to_path}")
        endif()
        if(to_layer STREQUAL "")
            report("${source}:${number}: includes \"${target}\", which lies in no layer")
            continue()
        endif()
        if(NOT to_layer IN_LIST "allowed_${from_layer}")
            report("${source}:${number}: includes \"${target}\": ${from_layer} may not use ${to_layer}")
        endif()
        get_filename_component(to_folder "${to_path}" DIRECTORY)
        if(NOT to_folder STREQUAL from_folder)
            list(APPEND folders "${to_folder}")
            list(APPEND "folder_uses_${from_folder}" "${to_folder}")
        endif()
    endforeach()
endforeach()

# ---- The folders the includes connect ----
list(REMOVE_DUPLICATES folders)
list(SORT folders)
foreach(folder IN LISTS folders)
    if(DEFINED "folder_uses_${folder}")
        list(REMOVE_DUPLICATES "folder_uses_${folder}")
        list(SORT "folder_uses_${folder}")
    endif()
endforeach()
find_cycle(folder_cycle "${folders}" "folder_uses_")
if(folder_cycle)
    report("folders include each other in a cycle: ${folder_cycle}")
endif()

if(GRAPH)
    foreach(folder IN LISTS folders)
        list(JOIN "folder_uses_${folder}" " " uses)
        message("${folder} -> ${uses}")
    endforeach()
endif()

if(NOT problems STREQUAL "")
    message(FATAL_ERROR "layer check failed:\n${problems}")
endif()
list(LENGTH folders folder_count)
message(STATUS "layer check: ${checked} files, ${include_count} includes, ${folder_count} folders, no forbidden edge, no cycle")
