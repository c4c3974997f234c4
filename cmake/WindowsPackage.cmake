# The Windows release: tarnwick-cli.exe, without its debugging information, and a short README in
# one zip. The program carries the MinGW runtime (cmake/WindowsBuild.cmake), so it runs alone.
set(TARNWICK_CLI_ZIP ${CMAKE_BINARY_DIR}/tarnwick-cli-${PROJECT_VERSION}-windows-x86_64.zip)
set(stage ${CMAKE_BINARY_DIR}/tarnwick-cli-zip)
set(readme ${PROJECT_SOURCE_DIR}/res/windows/README.txt)
add_custom_command(
    OUTPUT ${TARNWICK_CLI_ZIP}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
    COMMAND ${CMAKE_STRIP} --strip-debug -o ${stage}/tarnwick-cli.exe $<TARGET_FILE:tarnwick-cli>
    COMMAND ${CMAKE_COMMAND} -E copy ${readme} ${stage}/README.txt
    COMMAND ${CMAKE_COMMAND} -E rm -f ${TARNWICK_CLI_ZIP}
    COMMAND ${CMAKE_COMMAND} -E chdir ${stage} ${CMAKE_COMMAND} -E tar cf ${TARNWICK_CLI_ZIP}
            --format=zip tarnwick-cli.exe README.txt
    DEPENDS tarnwick-cli ${readme}
    VERBATIM)
add_custom_target(tarnwick-cli-zip ALL DEPENDS ${TARNWICK_CLI_ZIP})
