# Windows specifics of brenvik.exe: the manifest that lets it open paths
# longer than MAX_PATH and the version information, both embedded as
# resources with the project's version filled in, and the system libraries
# the platform layer calls.
enable_language(RC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/brenvik.exe.manifest.in
               ${PROJECT_BINARY_DIR}/brenvik.exe.manifest @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/brenvik.rc.in
               ${PROJECT_BINARY_DIR}/brenvik.rc @ONLY)
target_sources(brenvik PRIVATE ${PROJECT_BINARY_DIR}/brenvik.rc)
set_property(SOURCE ${PROJECT_BINARY_DIR}/brenvik.rc APPEND PROPERTY
             OBJECT_DEPENDS ${PROJECT_BINARY_DIR}/brenvik.exe.manifest)
target_link_libraries(brenvik_platform PUBLIC shell32)
