# What `cmake --install` puts under its prefix:
#   bin/                                    the programs that were built
#   include/obstacle/Detector.h             the public interface (include/ of the sources)
#   lib/libobstacle.a                       the detector; it needs the C++ standard library only
#   lib/cmake/ObstacleDetection/            find_package(ObstacleDetection): ObstacleDetection::obstacle
#   lib/pkgconfig/obstacle-detection.pc     pkg-config obstacle-detection
# The stage headers stay inside: Detector.h is the whole interface. The demonstration pictures are
# not installed; obstacle-detection holds them.
include(CMakePackageConfigHelpers)

set(PACKAGE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ObstacleDetection)
set(PACKAGE_LIBRARIES obstacle)

install(TARGETS ${PACKAGE_LIBRARIES} EXPORT ObstacleDetectionTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
foreach(program obstacle-detection obstacle-track obstacle-eval scene-render)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT ObstacleDetectionTargets NAMESPACE ObstacleDetection:: DESTINATION ${PACKAGE_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ObstacleDetectionConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/ObstacleDetectionConfig.cmake
                              INSTALL_DESTINATION ${PACKAGE_CMAKE_DIR})
# Before 1.0 a minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ObstacleDetectionConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ObstacleDetectionConfig.cmake ${PROJECT_BINARY_DIR}/ObstacleDetectionConfigVersion.cmake
        DESTINATION ${PACKAGE_CMAKE_DIR})

# The pkg-config file finds the prefix from its own place, so an install under another prefix
# (cmake --install --prefix) is found where it lies.
file(RELATIVE_PATH PKGCONFIG_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" PKGCONFIG_TO_PREFIX ${PKGCONFIG_TO_PREFIX})
list(TRANSFORM PACKAGE_LIBRARIES PREPEND -l OUTPUT_VARIABLE PKGCONFIG_LIBS)
list(JOIN PKGCONFIG_LIBS " " PKGCONFIG_LIBS)
configure_file(${CMAKE_CURRENT_LIST_DIR}/obstacle-detection.pc.in ${PROJECT_BINARY_DIR}/obstacle-detection.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/obstacle-detection.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
