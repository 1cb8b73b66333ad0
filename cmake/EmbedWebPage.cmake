# Writes OUTPUT, a C++ file holding the page's files (every file in DIRECTORY) for webAssets().
file(GLOB FILES "${DIRECTORY}/*")
list(SORT FILES)
set(arrays "")
set(entries "")
set(index 0)
foreach(file IN LISTS FILES)
  get_filename_component(name "${file}" NAME)
  get_filename_component(extension "${file}" LAST_EXT)
  if(extension STREQUAL ".html")
    set(type "text/html; charset=utf-8")
  elseif(extension STREQUAL ".js")
    set(type "text/javascript; charset=utf-8")
  elseif(extension STREQUAL ".css")
    set(type "text/css; charset=utf-8")
  elseif(extension STREQUAL ".svg")
    set(type "image/svg+xml")
  else()
    message(FATAL_ERROR "No content type for ${name}")
  endif()
  if(name STREQUAL "index.html")
    set(path "/")
  else()
    set(path "/${name}")
  endif()
  file(READ "${file}" hex HEX)
  file(SIZE "${file}" size)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "constexpr unsigned char file${index}[] = {${bytes}0};\n")
  string(APPEND entries "    {\"${path}\", \"${type}\", {reinterpret_cast<const char*>(file${index}), ${size}}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new" "// Generated from app/web/page by cmake/EmbedWebPage.cmake.
#include \"web/WebAssets.hpp\"

namespace lumetra {
namespace {
${arrays}}  // namespace

std::span<const WebAsset> webAssets() {
  static const WebAsset assets[] = {
${entries}  };
  return assets;
}

}  // namespace lumetra
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
