# Install rules and the Debian package.
#
#   cmake --install BUILD --prefix P     programs, man pages, docs
#   (cd BUILD && cpack -G DEB)            kolva_<version>_amd64.deb
include(GNUInstallDirs)

# Man pages carry the version; they are kept next to the code they
# document and filled in here.
set(KOLVA_MAN_PAGES src/driver/kolva.1 src/prep/kolva-prep.1 src/report/kolva-report.1)
foreach(page ${KOLVA_MAN_PAGES})
  if(EXISTS ${PROJECT_SOURCE_DIR}/${page})
    get_filename_component(name ${page} NAME)
    configure_file(${page} ${CMAKE_BINARY_DIR}/man/${name} @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/man/${name} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()

install(TARGETS kolva RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kolva-prep)
  install(TARGETS kolva-prep RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/src/report/kolva_report)
  # The installed launcher finds the package in ../share/kolva/python.
  set(KOLVA_REPORT_PYTHON ${CMAKE_INSTALL_FULL_DATADIR}/kolva/python)
  configure_file(src/report/kolva-report.in ${CMAKE_BINARY_DIR}/install/kolva-report @ONLY)
  install(PROGRAMS ${CMAKE_BINARY_DIR}/install/kolva-report DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY src/report/kolva_report DESTINATION ${CMAKE_INSTALL_DATADIR}/kolva/python
          PATTERN __pycache__ EXCLUDE)
endif()

# libkolva: the libraries, their headers, a pkg-config file and a CMake
# package (find_package(kolva): kolva::kolva, shared, and
# kolva::kolva_static). Both files find the prefix from where they lie, so
# an installed tree may be moved.
set_target_properties(kolva_shared PROPERTIES EXPORT_NAME kolva)
set_target_properties(kolva_static PROPERTIES EXPORT_NAME kolva_static)
install(TARGETS kolva_shared kolva_static EXPORT kolvaTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES include/kolva/kolva.h include/kolva/kolva.hpp
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kolva)
set(KOLVA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kolva)
install(EXPORT kolvaTargets NAMESPACE kolva:: DESTINATION ${KOLVA_CMAKE_DIR})
include(CMakePackageConfigHelpers)
configure_package_config_file(cmake/kolvaConfig.cmake.in ${CMAKE_BINARY_DIR}/install/kolvaConfig.cmake
                              INSTALL_DESTINATION ${KOLVA_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/install/kolvaConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/install/kolvaConfig.cmake
        ${CMAKE_BINARY_DIR}/install/kolvaConfigVersion.cmake DESTINATION ${KOLVA_CMAKE_DIR})
file(RELATIVE_PATH KOLVA_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" KOLVA_PC_TO_PREFIX "${KOLVA_PC_TO_PREFIX}")
# kolva.pc is finished when it is installed: in a prefix whose library
# folder the linker does not search by itself (any but /usr, where the
# Debian package goes), its Libs also give that folder as the run path, so
# that a program built with it starts without LD_LIBRARY_PATH. The run
# path is absolute, whatever PKG_CONFIG_PATH was; a program built before a
# prefix is moved needs LD_LIBRARY_PATH or a new link.
set(KOLVA_PC_RPATH @KOLVA_PC_RPATH@)
configure_file(cmake/kolva.pc.in ${CMAKE_BINARY_DIR}/install/kolva.pc.in @ONLY)
set(kolva_pc_code [=[
  get_filename_component(kolva_libdir "${CMAKE_INSTALL_PREFIX}/@CMAKE_INSTALL_LIBDIR@" ABSOLUTE)
  set(kolva_system_dirs "@CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES@")
  set(KOLVA_PC_RPATH "")
  list(FIND kolva_system_dirs "${kolva_libdir}" kolva_found)
  if(kolva_found EQUAL -1)
    set(KOLVA_PC_RPATH " -Wl,-rpath,${kolva_libdir}")
  endif()
  # Made in a folder of this install's own: two installs may run at once.
  string(RANDOM LENGTH 12 kolva_pc_dir)
  set(kolva_pc_dir "@CMAKE_BINARY_DIR@/install/pc-${kolva_pc_dir}")
  configure_file("@CMAKE_BINARY_DIR@/install/kolva.pc.in" "${kolva_pc_dir}/kolva.pc" @ONLY)
  file(INSTALL "${kolva_pc_dir}/kolva.pc" DESTINATION "${kolva_libdir}/pkgconfig")
  file(REMOVE_RECURSE "${kolva_pc_dir}")
]=])
string(CONFIGURE "${kolva_pc_code}" kolva_pc_code @ONLY)
install(CODE "${kolva_pc_code}")
install(FILES examples/cpp/combine.cpp examples/cpp/CMakeLists.txt
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/example-cpp)

# The guide, the news and the docs it links to (docs/report.png included,
# so that the installed README shows the page).
install(FILES README.md NEWS.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
file(GLOB KOLVA_DOCS CONFIGURE_DEPENDS docs/*.md docs/*.png)
install(FILES ${KOLVA_DOCS} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
install(FILES examples/defdims examples/corr.txt examples/pvals.txt examples/results.expected
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kolva)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "combined association p-values over correlated phenotypes")
set(CPACK_PACKAGE_CONTACT "Kolva developers <kolva@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# Libraries from dpkg-shlibdeps; the report's Python modules listed. The
# package also provides libkolva.so.0, with a shlibs file for packages
# that link it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3, python3-numpy, python3-scipy, python3-matplotlib")
# The Python package kolva (src/python): its extension is built for one
# python3 minor version, and it needs numpy.
if(KOLVA_PYTHON_DEB_DEPENDS)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${KOLVA_PYTHON_DEB_DEPENDS}")
  if(NOT CPACK_DEBIAN_PACKAGE_DEPENDS MATCHES "python3-numpy")
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", python3-numpy")
  endif()
endif()

# The R package (src/r), as the build installed it into BUILD/R; in the
# .deb where Debian's R looks (/usr/lib/R/site-library).
if(TARGET kolva_r)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/R/kolva DESTINATION lib/R/site-library USE_SOURCE_PERMISSIONS)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${KOLVA_R_DEB_DEPENDS}")
endif()
include(CPack)
