# CE_SOURCE_DATE_EPOCH: the time the changelog and the manual pages carry.
# SOURCE_DATE_EPOCH when it is set (a reproducible build), else the time of
# the last commit that changed CHANGELOG.md, so that packages built from
# two clones of one commit are the same; else (no git) the file's own time.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(CE_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct -- CHANGELOG.md
                    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                    OUTPUT_VARIABLE CE_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE ce_git_result ERROR_QUIET)
  endif()
  if(NOT GIT_FOUND OR NOT ce_git_result EQUAL 0 OR NOT CE_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    file(TIMESTAMP ${CMAKE_CURRENT_SOURCE_DIR}/CHANGELOG.md CE_SOURCE_DATE_EPOCH "%s" UTC)
  endif()
endif()
