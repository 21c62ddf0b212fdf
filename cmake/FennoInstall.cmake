include(GNUInstallDirs)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/70-fenno.rules
        DESTINATION ${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d OPTIONAL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fenno)
set(CPACK_PACKAGE_CONTACT "Fenno developers <dev@fenno.invalid>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
