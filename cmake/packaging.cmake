# Packages, made by `cpack` in the build folder (or the `package` target):
# a Debian package on Linux, with both programs, the desktop entry and
# icons (installed by app/), a man page for program-cli and the README;
# a zip on Windows, with program.exe, program-cli.exe and the README at its
# top. The programs' own install() lines say where they go.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME program)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Password file encryptor: a dialog and a command line")
set(CPACK_PACKAGE_DESCRIPTION
    "Encrypts one file under a password of 1 to 16 characters into a .crypt
container, and decrypts the container back to the original file. The
container format is not strong cryptography.")
set(CPACK_PACKAGE_CONTACT "program developers <program@localhost>")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME program-${PROJECT_VERSION}-windows-x86_64)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # The Qt libraries and the C++ runtime, as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/doc/program-cli.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

include(CPack)
