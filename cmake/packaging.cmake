# The Debian package: `cpack -G DEB` in the build folder makes
# quillmore_<version>_<arch>.deb from the install rules.

set(quillmore_packaging_dir ${PROJECT_SOURCE_DIR}/resources/packaging)
set(quillmore_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quillmore)

# Debian wants the changelog and the manual page compressed, without a time
# stamp (gzip -n) so that two builds give the same package.
find_program(QUILLMORE_GZIP gzip REQUIRED)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
foreach(doc changelog quillmore.1 quillmore-cli.1)
  set(source ${quillmore_packaging_dir}/${doc})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  execute_process(COMMAND ${QUILLMORE_GZIP} -9 -n -c ${source}
                  OUTPUT_FILE ${CMAKE_BINARY_DIR}/packaging/${doc}.gz
                  RESULT_VARIABLE gzip_result)
  if(NOT gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip ${source}: ${gzip_result}")
  endif()
endforeach()
install(FILES ${quillmore_packaging_dir}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${quillmore_doc_dir})
install(FILES ${CMAKE_BINARY_DIR}/packaging/quillmore.1.gz ${CMAKE_BINARY_DIR}/packaging/quillmore-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME quillmore)
set(CPACK_PACKAGE_VENDOR Halvren)
set(CPACK_PACKAGE_CONTACT "Halvren <${QUILLMORE_SUPPORT_EMAIL}>")
set(CPACK_PACKAGE_HOMEPAGE_URL "${QUILLMORE_HOMEPAGE_URL}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "look up many telephone numbers at once")
# The summary above is the first line; this is the long text after it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quillmore looks up a list of telephone numbers, one after the other, against
the Ekata Phone Intelligence web service, with the user's own API key, and
lists for each number its line type, the name it belongs to, its address,
its carrier and whether the line is active. The results can be saved as a
text file, copied to the clipboard or opened as a spreadsheet.
.
Every lookup sends the number to the outside service and counts against the
key's quota.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The program's own libraries; dpkg-shlibdeps reads them off the installed executable.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# QtKeychain reaches the desktop's keyring through libsecret, which it loads
# only at run time: without it the key stays in the settings file.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsecret-1-0")
# The carried curl is a resource inside the executable, out of dpkg-shlibdeps'
# sight: its libraries are added at package time (see debian-depends.cmake).
set(CPACK_QUILLMORE_CARRIED_CURL "${QUILLMORE_CURL}")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/debian-depends.cmake)

include(CPack)
