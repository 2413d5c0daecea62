# Installs the shared library, the public headers, a CMake package, a pkg-config file and
# the Python package.
include(CMakePackageConfigHelpers)

file(GLOB ZNGROUPS_PUBLIC_HEADERS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/*.h)
# The messaging component goes with the library, which needs it at run time.
install(TARGETS zngroups zni_messaging EXPORT zngroupsTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${ZNGROUPS_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(MINGW)
    install(FILES ${PROJECT_BINARY_DIR}/zngroups.def DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
# The portable classes over the C interface, for applications built with another compiler.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/portable DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT zngroupsTargets NAMESPACE zngroups::
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zngroups)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/zngroupsConfig.cmake.in
    ${PROJECT_BINARY_DIR}/zngroupsConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zngroups)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zngroupsConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zngroupsConfig.cmake
    ${PROJECT_BINARY_DIR}/zngroupsConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zngroups)

# The prefix is written relative to the .pc file so that `cmake --install --prefix` elsewhere
# still yields a working file.
file(RELATIVE_PATH ZNGROUPS_PC_PREFIX_FROM_PCDIR
    "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file(${PROJECT_SOURCE_DIR}/cmake/zngroups.pc.in ${PROJECT_BINARY_DIR}/zngroups.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zngroups.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The Python package, pure Python over the shared library, where Debian's python3 looks for
# packages of every interpreter version (with the prefix /usr).
if(NOT WIN32)
    set(ZNGROUPS_PYTHON_INSTALL_DIR lib/python3/dist-packages CACHE STRING
        "Where the Python package zngroups is installed, relative to the prefix")
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/zngroups
        DESTINATION ${ZNGROUPS_PYTHON_INSTALL_DIR}
        FILES_MATCHING PATTERN "*.py" PATTERN "py.typed" PATTERN "__pycache__" EXCLUDE)
endif()
