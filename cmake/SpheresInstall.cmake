# cmake --install: the core's libraries and headers, the scene and frame library, the programs,
# and the CMake package that find_package(Spheres) reads (targets Spheres::math, Spheres::body,
# Spheres::spheretree, Spheres::world, Spheres::frustum and Spheres::app). No library or header
# of the package needs GL: the GL frustum and the GL tree drawing are not installed.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(SPHERES_PACKAGE_TARGETS spheres_math spheres_body spheres_spheretree spheres_world
    spheres_frustum spheres_app)
foreach(target ${SPHERES_PACKAGE_TARGETS})
    string(REPLACE "spheres_" "" short ${target})
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${short})
endforeach()

install(TARGETS ${SPHERES_PACKAGE_TARGETS} EXPORT SpheresTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})

# Every header of the library folders, under include/spheres so that the includes keep their
# folder ("spheretree/QuerySphereTree.h"); the GL ones (GLFrustum.h, GLDebugDraw.h) stay out.
install(DIRECTORY math body spheretree world frustum app
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/spheres
        FILES_MATCHING PATTERN "*.h"
        PATTERN "GL*.h" EXCLUDE)

set(SPHERES_PROGRAMS sphere-sim sphere-demo sphere-view)
foreach(program ${SPHERES_PROGRAMS})
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()
install(FILES LICENSE README.md docs/library.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(SPHERES_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Spheres)
install(EXPORT SpheresTargets NAMESPACE Spheres:: DESTINATION ${SPHERES_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/SpheresConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/SpheresConfig.cmake
                              INSTALL_DESTINATION ${SPHERES_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/SpheresConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/SpheresConfig.cmake
              ${PROJECT_BINARY_DIR}/SpheresConfigVersion.cmake
        DESTINATION ${SPHERES_CMAKE_DIR})

# Inline math in the headers must round as the libraries do: no fused multiply-add for users.
target_compile_options(spheres_math INTERFACE $<INSTALL_INTERFACE:-ffp-contract=off>)
