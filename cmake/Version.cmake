# The version of every build, QARVEL_PACKAGE_VERSION: 1.0.N, where N is the
# number of commits in the git history, so that every rebuilt package is newer
# than the one before it and `apt upgrade` takes it to the lab's machines.
#
# QARVEL_BUILD_NUMBER sets N by hand. Without git, or outside a git checkout
# (a source tarball), N is 0 unless set: give every rebuild from a tarball a
# number above the one before, e.g. -DQARVEL_BUILD_NUMBER=$(date +%Y%m%d%H).
# The history must be whole: a shallow clone counts only what it holds.
set(QARVEL_BUILD_NUMBER "" CACHE STRING
    "N of the version 1.0.N; empty: the number of commits in the git history")
set(qarvel_build_number "${QARVEL_BUILD_NUMBER}")
set(QARVEL_VERSION_FROM "QARVEL_BUILD_NUMBER")
if(qarvel_build_number STREQUAL "")
    find_package(Git QUIET)
    if(GIT_FOUND)
        execute_process(COMMAND ${GIT_EXECUTABLE} rev-list --count HEAD
                        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} RESULT_VARIABLE git_status
                        OUTPUT_VARIABLE git_count OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --absolute-git-dir
                        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                        OUTPUT_VARIABLE git_dir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%h
                        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                        OUTPUT_VARIABLE git_commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
    if(git_status EQUAL 0 AND git_count MATCHES "^[0-9]+$")
        set(qarvel_build_number ${git_count})
        set(QARVEL_VERSION_FROM "commit ${git_commit}, number ${git_count} in the git history")
        # A commit, a pull or a checkout configures the build again.
        foreach(moves HEAD logs/HEAD)
            if(EXISTS "${git_dir}/${moves}")
                set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                                                       "${git_dir}/${moves}")
            endif()
        endforeach()
    else()
        set(qarvel_build_number 0)
        set(QARVEL_VERSION_FROM "no git history and no QARVEL_BUILD_NUMBER")
        message(WARNING "No git history: the version is ${PROJECT_VERSION}.0. "
                        "Set QARVEL_BUILD_NUMBER so that a rebuilt package upgrades the last one.")
    endif()
elseif(NOT qarvel_build_number MATCHES "^[0-9]+$")
    message(FATAL_ERROR "QARVEL_BUILD_NUMBER must be a whole number: ${QARVEL_BUILD_NUMBER}")
endif()
set(QARVEL_PACKAGE_VERSION
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${qarvel_build_number}")
string(TIMESTAMP QARVEL_BUILD_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
message(STATUS "Qarvel ${QARVEL_PACKAGE_VERSION} (${QARVEL_VERSION_FROM})")
