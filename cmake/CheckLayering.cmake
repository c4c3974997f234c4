# cmake -DSOURCE_DIR=<repo> "-DLAYERS=display;link;..." -P CheckLayering.cmake
# Fails when a file under src/<layer>/ includes a header of a layer listed after its own, so
# a lower library never comes to need a higher one; and every folder under src/ is a layer.
cmake_minimum_required(VERSION 3.25)

foreach(var SOURCE_DIR LAYERS)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "CheckLayering.cmake needs -D${var}=...")
    endif()
endforeach()

set(violations "")
list(LENGTH LAYERS count)
foreach(layer IN LISTS LAYERS)
    list(FIND LAYERS ${layer} own)
    math(EXPR first_above "${own} + 1")
    set(above "")
    if(first_above LESS count)
        list(SUBLIST LAYERS ${first_above} -1 above)
    endif()
    if(NOT above)
        continue()
    endif()
    list(JOIN above "|" above_regex)
    file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}
         ${SOURCE_DIR}/src/${layer}/*.h ${SOURCE_DIR}/src/${layer}/*.cpp)
    foreach(file IN LISTS files)
        file(STRINGS ${SOURCE_DIR}/${file} lines
             REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<](${above_regex})/")
        foreach(line IN LISTS lines)
            string(STRIP "${line}" line)
            string(APPEND violations "  ${file} (${layer}): ${line}\n")
        endforeach()
    endforeach()
endforeach()

# A folder that is no layer would escape the check above.
file(GLOB folders LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/*)
foreach(folder IN LISTS folders)
    if(IS_DIRECTORY ${SOURCE_DIR}/src/${folder} AND NOT folder IN_LIST LAYERS)
        string(APPEND violations "  src/${folder}/ is no layer\n")
    endif()
endforeach()

if(violations)
    message(FATAL_ERROR "Includes from a higher layer (order: ${LAYERS}):\n${violations}")
endif()
