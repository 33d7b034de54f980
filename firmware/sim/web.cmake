# boardsim --web: the board in a browser. The server is cpp-httplib, the
# stream JSON (nlohmann-json), the scope's spectrum FFTW; the page's npm
# packages (xterm.js) are installed by `npm ci` into the build tree and,
# with the page's own files, built into boardsim (.incbin), so that the page
# needs no network and the server reads no file.
if(PkgConfig_FOUND)
  pkg_check_modules(HTTPLIB IMPORTED_TARGET cpp-httplib)
  if(NOT TARGET PkgConfig::FFTW3)
    pkg_check_modules(FFTW3 IMPORTED_TARGET fftw3)
  endif()
  if(NOT TARGET PkgConfig::NLOHMANN_JSON)
    pkg_check_modules(NLOHMANN_JSON IMPORTED_TARGET nlohmann_json>=3)
  endif()
endif()
find_package(Threads REQUIRED)
find_program(NPM_PROGRAM npm)
set(web_src ${CMAKE_CURRENT_SOURCE_DIR}/src/frontends/web)
if(NOT (HTTPLIB_FOUND AND TARGET PkgConfig::FFTW3 AND TARGET PkgConfig::NLOHMANN_JSON AND NPM_PROGRAM))
  if(REQUIRE_ALL_TOOLS)
    message(FATAL_ERROR "boardsim --web: cpp-httplib, FFTW, nlohmann-json or npm not found "
                        "(scripts/bootstrap installs libcpp-httplib-dev, libfftw3-dev, nlohmann-json3-dev, npm)")
  endif()
  message(STATUS "boardsim: no cpp-httplib, FFTW, nlohmann-json or npm: --web will say so")
  add_library(boardsim_web STATIC ${web_src}/web_unavailable.cpp)
  target_link_libraries(boardsim_web PUBLIC boardsim_frontends)
  set(BOARDSIM_WEB OFF)
  return()
endif()
set(BOARDSIM_WEB ON)

# The page's packages, as package-lock.json pins them.
set(page_modules ${CMAKE_CURRENT_BINARY_DIR}/web-page)
set(page_installed ${page_modules}/node_modules/.package-lock.json)
add_custom_command(
  OUTPUT ${page_installed}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${page_modules}
  COMMAND ${CMAKE_COMMAND} -E copy ${web_src}/page/package.json ${web_src}/page/package-lock.json ${page_modules}
  COMMAND ${NPM_PROGRAM} ci --no-audit --no-fund --loglevel=error --prefix ${page_modules}
  DEPENDS ${web_src}/page/package.json ${web_src}/page/package-lock.json
  COMMENT "Installing the web page's npm packages (npm ci)"
  VERBATIM)

# Path served | Content-Type (every file is UTF-8 text) | file.
set(xterm ${page_modules}/node_modules/@xterm)
set(web_assets
  "/|text/html|${web_src}/page/index.html"
  "/style.css|text/css|${web_src}/page/style.css"
  "/app.js|text/javascript|${web_src}/page/app.js"
  "/lcd.js|text/javascript|${web_src}/page/lcd.js"
  "/analyzer.js|text/javascript|${web_src}/page/analyzer.js"
  "/scope.js|text/javascript|${web_src}/page/scope.js"
  "/xterm/xterm.js|text/javascript|${xterm}/xterm/lib/xterm.js"
  "/xterm/xterm.css|text/css|${xterm}/xterm/css/xterm.css"
  "/xterm/addon-fit.js|text/javascript|${xterm}/addon-fit/lib/addon-fit.js")
set(asm "")
set(table "")
set(decls "")
set(files "")
set(n 0)
foreach(entry ${web_assets})
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 path)
  list(GET fields 1 type)
  list(GET fields 2 file)
  list(APPEND files ${file})
  string(APPEND asm "  .global boardsim_web_asset_${n}\n  .global boardsim_web_asset_${n}_end\n"
                    "boardsim_web_asset_${n}:\n  .incbin \"${file}\"\nboardsim_web_asset_${n}_end:\n")
  string(APPEND decls "extern \"C\" const unsigned char boardsim_web_asset_${n}[];\n"
                      "extern \"C\" const unsigned char boardsim_web_asset_${n}_end[];\n")
  string(APPEND table "    {\"${path}\", \"${type}; charset=utf-8\", boardsim_web_asset_${n},\n"
                      "     size_t(boardsim_web_asset_${n}_end - boardsim_web_asset_${n})},\n")
  math(EXPR n "${n} + 1")
endforeach()
set(generated ${CMAKE_CURRENT_BINARY_DIR}/web-assets)
file(WRITE ${generated}/assets.S.in
  "  .section .rodata\n  .balign 16\n${asm}  .section .note.GNU-stack,\"\",%progbits\n")
file(WRITE ${generated}/asset_table.cpp.in
  "// Made by web.cmake: the files built into boardsim for its web page.\n"
  "#include \"frontends/web/web_assets.h\"\n\n${decls}\nnamespace boardsim {\n\n"
  "extern const WebAsset kWebAssets[];\nextern const size_t kWebAssetCount;\n"
  "const WebAsset kWebAssets[] = {\n${table}};\nconst size_t kWebAssetCount = ${n};\n\n}  // namespace boardsim\n")
configure_file(${generated}/assets.S.in ${generated}/assets.S COPYONLY)
configure_file(${generated}/asset_table.cpp.in ${generated}/asset_table.cpp COPYONLY)
enable_language(ASM)
set_source_files_properties(${generated}/assets.S PROPERTIES OBJECT_DEPENDS "${files};${page_installed}")

add_library(boardsim_web STATIC
  ${web_src}/event_stream.cpp
  ${web_src}/pin_decoders.cpp
  ${web_src}/pin_analyzer.cpp
  ${web_src}/scope.cpp
  ${web_src}/web_board.cpp
  ${web_src}/web_assets.cpp
  ${web_src}/web_server.cpp
  ${web_src}/web_run.cpp
  ${generated}/assets.S
  ${generated}/asset_table.cpp)
target_link_libraries(boardsim_web PUBLIC boardsim_frontends PkgConfig::NLOHMANN_JSON
  PRIVATE PkgConfig::HTTPLIB PkgConfig::FFTW3 Threads::Threads)
