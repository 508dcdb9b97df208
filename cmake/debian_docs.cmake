# The two files Debian wants in a package's doc folder, made at configure
# time from the repository's own:
#   copyright     LICENSE in Debian's machine-readable copyright format
#   changelog.gz  CHANGELOG.md as one Debian changelog entry for this version
# Both go to ${CMAKE_INSTALL_DOCDIR} beside the README.

set(ce_debian_dir ${CMAKE_CURRENT_BINARY_DIR}/debian)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/CHANGELOG.md)

# copyright: the holders from LICENSE's "Copyright (c) YEAR HOLDERS" line,
# the licence's own paragraphs below it (Debian's name for it is Expat).
file(STRINGS LICENSE ce_copyright_line REGEX "^Copyright \\(c\\) " LIMIT_COUNT 1)
string(REGEX REPLACE "^Copyright \\(c\\) " "" ce_copyright_holders "${ce_copyright_line}")
file(READ LICENSE ce_license)
string(REGEX MATCH "Permission is hereby granted.*OTHER DEALINGS IN THE[ \n]+SOFTWARE\\."
       ce_license_terms "${ce_license}")
if(NOT ce_copyright_holders OR NOT ce_license_terms)
  message(FATAL_ERROR "LICENSE is not the MIT licence text that cmake/debian_docs.cmake expects")
endif()
string(REPLACE "\n\n" "\n.\n" ce_license_terms "${ce_license_terms}")
string(REPLACE "\n" "\n " ce_license_terms "${ce_license_terms}")
file(WRITE ${ce_debian_dir}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}
Upstream-Contact: ${CE_MAINTAINER}

Files: *
Copyright: ${ce_copyright_holders}
License: Expat

License: Expat
 ${ce_license_terms}
")

# changelog.gz: headings become lines of their own, "- " items become
# "* " items, everything indented as Debian's format wants; dated with
# CE_SOURCE_DATE_EPOCH (cmake/source_date.cmake).
# CMake's lists split at ";" and keep unbalanced "[" "]" together: those
# three are kept out of them while the lines are split.
file(READ CHANGELOG.md ce_changelog_text)
string(REPLACE ";" "@semicolon@" ce_changelog_text "${ce_changelog_text}")
string(REPLACE "[" "@open@" ce_changelog_text "${ce_changelog_text}")
string(REPLACE "]" "@close@" ce_changelog_text "${ce_changelog_text}")
string(REPLACE "\n" ";" ce_changelog_lines "${ce_changelog_text}")
set(ce_changelog "${PROJECT_NAME} (${PROJECT_VERSION}) unstable; urgency=medium\n")
foreach(line IN LISTS ce_changelog_lines)
  if(line MATCHES "^# ")
    continue()
  elseif(line MATCHES "^## (.*)")
    string(APPEND ce_changelog "\n  ${CMAKE_MATCH_1}:\n")
  elseif(line MATCHES "^- (.*)")
    string(APPEND ce_changelog "  * ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^  (.*)")
    string(APPEND ce_changelog "    ${CMAKE_MATCH_1}\n")
  elseif(NOT line STREQUAL "")
    string(APPEND ce_changelog "  ${line}\n")
  endif()
endforeach()
string(REPLACE "@semicolon@" ";" ce_changelog "${ce_changelog}")
string(REPLACE "@open@" "[" ce_changelog "${ce_changelog}")
string(REPLACE "@close@" "]" ce_changelog "${ce_changelog}")
# string(TIMESTAMP) tells the time of SOURCE_DATE_EPOCH when it is set.
set(ce_saved_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${CE_SOURCE_DATE_EPOCH})
string(TIMESTAMP ce_changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${ce_saved_epoch}")
string(APPEND ce_changelog "\n -- ${CE_MAINTAINER}  ${ce_changelog_date}\n")
file(WRITE ${ce_debian_dir}/changelog "${ce_changelog}")
# -n: no name or time stamp inside, so the same changelog gives the same file.
execute_process(COMMAND gzip -9 -n -f ${ce_debian_dir}/changelog RESULT_VARIABLE ce_gzip_status)
if(NOT ce_gzip_status EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${ce_debian_dir}/changelog")
endif()

install(FILES ${ce_debian_dir}/copyright ${ce_debian_dir}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
