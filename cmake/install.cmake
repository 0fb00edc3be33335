# What `cmake --install` puts where, and the archives `cpack` makes of it.
#
# On Windows everything goes into one folder, as users unpack it: the exe,
# README.txt (the manual, under a short header naming the version, with
# CRLF line ends) and LICENSE.txt. Elsewhere the usual tree: bin/brenvik,
# the README, the manual and the licence under share/doc/brenvik, the man
# page under share/man/man1.
if(WIN32)
  file(READ ${PROJECT_SOURCE_DIR}/doc/manual.md manual)
  set(readme "Brenvik ${PROJECT_VERSION}\n\n${manual}")
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
  foreach(text readme license)
    string(REPLACE "\r\n" "\n" ${text} "${${text}}")
    string(REPLACE "\n" "\r\n" ${text} "${${text}}")
  endforeach()
  file(WRITE ${PROJECT_BINARY_DIR}/README.txt "${readme}")
  file(WRITE ${PROJECT_BINARY_DIR}/LICENSE.txt "${license}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/doc/manual.md ${PROJECT_SOURCE_DIR}/LICENSE)

  install(TARGETS brenvik RUNTIME DESTINATION .)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt
          DESTINATION .)
  set(CPACK_PACKAGE_FILE_NAME "brenvik-${PROJECT_VERSION}-win64")
  set(CPACK_GENERATOR ZIP)
else()
  include(GNUInstallDirs)
  configure_file(${PROJECT_SOURCE_DIR}/doc/brenvik.1.in
                 ${PROJECT_BINARY_DIR}/brenvik.1 @ONLY)
  install(TARGETS brenvik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/doc/manual.md
                ${PROJECT_SOURCE_DIR}/LICENSE
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${PROJECT_BINARY_DIR}/brenvik.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set(CPACK_GENERATOR TGZ)
endif()

set(CPACK_PACKAGE_NAME brenvik)
set(CPACK_PACKAGE_VENDOR "the Brenvik authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Replaces the ARM7 binary of Nintendo DS cartridge images")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
