# What `cmake --install` puts under its prefix:
#   bin/                                    the programs that were built
#   include/                                the public headers (include/ of the sources)
#   include/obstacle/stages/                the stage library's headers, which include one another
#                                           by their bare names
#   lib/libobstacle.a, lib/libembedded_data.a
#   lib/cmake/ObstacleDetection/            find_package(ObstacleDetection): ObstacleDetection::obstacle
#                                           and ObstacleDetection::embedded_data
#   lib/pkgconfig/obstacle-detection.pc     pkg-config obstacle-detection
# The stage library refers to the embedded pictures, so both libraries are linked.
include(CMakePackageConfigHelpers)

set(PACKAGE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ObstacleDetection)
set(PACKAGE_LIBRARIES obstacle embedded_data)

install(TARGETS ${PACKAGE_LIBRARIES} EXPORT ObstacleDetectionTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
foreach(program obstacle-detection obstacle-track obstacle-eval scene-render)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# The stage headers, taken together in one folder: installed, and linked to in the build tree, so
# that a project using the installed package and one building this as a subdirectory both write
# #include <obstacle/stages/NAME.h>.
set(STAGE_HEADERS_LINKED ${PROJECT_BINARY_DIR}/include/obstacle/stages)
file(MAKE_DIRECTORY ${STAGE_HEADERS_LINKED})
foreach(folder ${OBSTACLE_FOLDERS})
  file(GLOB folder_headers CONFIGURE_DEPENDS ${folder}/*.h)
  install(FILES ${folder_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/obstacle/stages)
  foreach(header ${folder_headers})
    get_filename_component(header_name ${header} NAME)
    file(CREATE_LINK ${header} ${STAGE_HEADERS_LINKED}/${header_name} SYMBOLIC)
  endforeach()
endforeach()
target_include_directories(obstacle PUBLIC $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>
                           $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} OPTIONAL)

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
