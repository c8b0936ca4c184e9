# The Debian package: `cpack -G DEB` in the build folder. It holds what the
# install rules install, under /usr; its dependencies are the packages of the
# shared libraries the programs link (dpkg-shlibdeps, from dpkg-dev). The
# project's own libraries are linked statically, so an unpacked package runs
# from any root.

set(CPACK_PACKAGE_NAME brambleton)
set(CPACK_PACKAGE_VENDOR "Brambleton")
set(CPACK_PACKAGE_CONTACT "Brambleton developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Visual script editor")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Builds the script code of a target script engine from triggers, categories and instructions: "
  "the editor (brambleton), the command-line tool (brambleton-cli) and a sample workspace for Lua 5.4.")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's German texts, and the interpreter the sample workspace runs its scripts with.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, lua5.4")
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)

# The debug information goes, the symbols stay: crash reports name functions.
set(CPACK_BRAMBLETON_STRIP "${CMAKE_STRIP}")
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/StripDebugInfo.cmake")

include(CPack)
