# udev and bash-completion read their files from their own directories, which the install prefix
# does not move: ask them where (cached, so a packager can still choose). Windows has neither.
if(WIN32)
    return()
endif()
pkg_get_variable(tarnwick_udev_dir udev udevdir)
if(NOT tarnwick_udev_dir)
    set(tarnwick_udev_dir /usr/lib/udev)
endif()
set(TARNWICK_UDEV_RULES_DIR ${tarnwick_udev_dir}/rules.d
    CACHE PATH "Where the udev rule goes (udev's own directory)")

pkg_get_variable(tarnwick_completions_dir bash-completion completionsdir)
if(NOT tarnwick_completions_dir)
    set(tarnwick_completions_dir ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()
set(TARNWICK_BASH_COMPLETION_DIR ${tarnwick_completions_dir}
    CACHE PATH "Where the bash completion for tarnwick-cli goes")
