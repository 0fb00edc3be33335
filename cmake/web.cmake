# The page: the library compiled to WebAssembly with its worker glue, put
# together with the page into one self-contained brenvik.html.
#   emcmake cmake -S . -B build-web && cmake --build build-web --target web
#
# The glue (src/web/worker/worker.js) is written against Debian's
# Emscripten 3.1.6: it builds its folder with FS.createNode and
# FS.hashRemoveNode, finds streams with FS.getStream, and numbers errors as
# that version's libc does (WASI's errno values). A newer Emscripten may
# change any of these.
add_executable(brenvik_worker src/web/worker/brenvik_web.cc)
target_link_libraries(brenvik_worker PRIVATE brenvik_core)
set_target_properties(brenvik_worker PROPERTIES SUFFIX ".js")
set(worker_glue ${PROJECT_SOURCE_DIR}/src/web/worker/worker.js)
target_link_options(brenvik_worker PRIVATE
  -sENVIRONMENT=worker
  -sSINGLE_FILE=1
  # Compiled at once, so the loader never fetches its own data: URL.
  -sWASM_ASYNC_COMPILATION=0
  -sDYNAMIC_EXECUTION=0
  -sFORCE_FILESYSTEM=1
  -sALLOW_MEMORY_GROWTH=1
  -sINITIAL_MEMORY=16MB
  -sMAXIMUM_MEMORY=64MB
  "-sEXPORTED_RUNTIME_METHODS=['ccall','FS']"
  --pre-js ${worker_glue})
set_property(TARGET brenvik_worker APPEND PROPERTY LINK_DEPENDS ${worker_glue})
# Debian's emscripten runs its optimizer under the system's Node, which
# finds the optimizer's parser (acorn) only here.
if(EXISTS /usr/share/nodejs/acorn)
  set_property(TARGET brenvik_worker PROPERTY RULE_LAUNCH_LINK
               "${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs")
endif()

set(page ${PROJECT_SOURCE_DIR}/src/web/page)
set(web_sources ${page}/brenvik.html ${page}/page.css ${page}/page.js
                ${page}/assemble.js)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/brenvik.html
  COMMAND node ${page}/assemble.js ${page}/brenvik.html ${page}/page.css
          ${page}/page.js $<TARGET_FILE:brenvik_worker>
          ${PROJECT_VERSION} ${PROJECT_BINARY_DIR}/brenvik.html
  DEPENDS brenvik_worker ${web_sources}
  COMMENT "Putting brenvik.html together")
add_custom_target(web ALL DEPENDS ${PROJECT_BINARY_DIR}/brenvik.html)
