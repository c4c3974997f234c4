# The version both programs print: project(VERSION) and, when built from a git checkout, where in
# its history the sources came from. Taken when cmake runs; a commit after that shows only once
# cmake runs again.
set(TARNWICK_VERSION_TEXT ${PROJECT_VERSION})
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
    execute_process(
        COMMAND ${GIT_EXECUTABLE} describe --always --dirty
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE git_description
        OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE git_failed
        ERROR_QUIET)
    if(NOT git_failed AND git_description)
        string(APPEND TARNWICK_VERSION_TEXT " (git ${git_description})")
    endif()
endif()

# Only the executables' main.cpp sees it, so a new description recompiles two files.
function(tarnwick_version_definition target)
    target_compile_definitions(${target} PRIVATE TARNWICK_VERSION_TEXT="${TARNWICK_VERSION_TEXT}")
endfunction()
