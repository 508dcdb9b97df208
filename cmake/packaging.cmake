# Installation and packages.
#
#   cmake --install build --prefix ~/.local     the programs, docs, sample device
#   (cd build && cpack)                         posix: a .tar.gz and a .deb
#   (cd build-mingw && cpack)                   Windows: a .zip of the .exe files
#
# The sample device goes to share/titanium-tools/sample-device, where
# `cedevice create --sample` finds it relative to its own bin/ directory.

set(ce_programs qorvinstall Zandoval Vantrelo)
if(CE_BACKEND STREQUAL "win32")
  # Side by side in the archive's root, with the texts a user reads first.
  install(TARGETS ${ce_programs} RUNTIME DESTINATION .)
  install(FILES README.md LICENSE CHANGELOG.md DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x86_64)
else()
  include(GNUInstallDirs)
  # A made-up address of the project's own domain: where a user of the
  # package writes to.
  set(CE_MAINTAINER "Titanium home-screen tools maintainers <maintainers@titanium-tools.example.org>")
  install(TARGETS ${ce_programs} cedevice RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The C library's start files bring a compiler note (.comment) that the
  # programs do not need; an optimised install leaves it out.
  if(CMAKE_OBJCOPY AND CE_OPTIMISED)
    foreach(program ${ce_programs} cedevice)
      install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\")")
    endforeach()
  endif()
  install(FILES README.md LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  include(cmake/debian_docs.cmake)
  install(FILES cmake/titanium-tools.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
          RENAME titanium-tools)
  install(FILES docs/vantrelo-menu.png DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
  install(DIRECTORY examples/device/ DESTINATION ${CMAKE_INSTALL_DATADIR}/titanium-tools/sample-device)
  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CE_MAINTAINER})
  # The extended description, below the synopsis (PROJECT_DESCRIPTION).
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "qorvinstall installs, removes and switches plugins in the home screen's
layout files, Zandoval lists shortcuts for a launcher plugin, and Vantrelo
shows a popup menu of actions. On a PC they work on an emulated device: a
directory that holds the phone's files and registry. cedevice, a fourth
program, makes such a device and reads and sets it from a shell.")
  # The launcher needs GTK 3; the package's dependencies are read from the
  # programs when the tools for it are there (dpkg-dev and file).
  find_program(CE_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(CE_FILE file)
  if(CE_DPKG_SHLIBDEPS AND CE_FILE)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgtk-3-0")
  endif()
endif()

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_PACKAGE_VENDOR "Titanium home-screen tools maintainers")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${CMAKE_CURRENT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/packages)
include(CPack)
