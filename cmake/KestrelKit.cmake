# The maker's kit, made by CPack from a built tree (`cpack` in the build directory):
#   windows tree: kestrel-kit-VERSION-win64.zip, one folder holding the updater stub, the
#                 maker's window, the three command-line tools and the read-me;
#   Linux tree:   a Debian package of the command-line tools (kestrel-tools).
# Every executable of the windows tree links its runtimes statically: the kit needs no DLLs.
include_guard(GLOBAL)

set(CPACK_PACKAGE_NAME "kestrel-kit")
set(CPACK_PACKAGE_VENDOR "Tessel Works")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Kestrel Update: makes self-contained game updaters")
set(CPACK_RESOURCE_FILE_README "${PROJECT_SOURCE_DIR}/resources/kit/README.txt")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/kit")

if(KESTREL_WINDOWS)
  set(kit_tools kestrel-update kestrel-maker kestrel-patch kestrel-archive kestrel-image)
  install(TARGETS ${kit_tools} RUNTIME DESTINATION . COMPONENT kit)
  install(FILES "${PROJECT_SOURCE_DIR}/resources/kit/README.txt" DESTINATION . COMPONENT kit)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "kestrel-kit-${PROJECT_VERSION}-win64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(kit_tools kestrel-patch kestrel-archive kestrel-image)
  install(TARGETS ${kit_tools} RUNTIME DESTINATION bin COMPONENT kit)
  install(FILES "${PROJECT_SOURCE_DIR}/resources/kit/README.txt"
          DESTINATION share/doc/kestrel-tools COMPONENT kit)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_NAME kestrel-tools)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tessel Works <kestrel@tesselworks.invalid>")
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Kestrel Update's tools: build, pack and apply game patches (kestrel-patch),\nwork with mareld.dat archives (kestrel-archive) and image files (kestrel-image).")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
