# Windows specifics of brenvik.exe: the manifest that lets it open paths
enable_language(RC)
# longer than MAX_PATH, embedded as a resource, and the system libraries
# the platform layer calls.
set(manifest_rc ${CMAKE_CURRENT_LIST_DIR}/brenvik.rc)
target_sources(brenvik PRIVATE ${manifest_rc})
set_property(SOURCE ${manifest_rc} APPEND PROPERTY OBJECT_DEPENDS
             ${CMAKE_CURRENT_LIST_DIR}/brenvik.exe.manifest)
target_link_libraries(brenvik_core PUBLIC shell32)
