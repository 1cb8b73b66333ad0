#pragma once

#include <span>
#include <string_view>

namespace lumetra {

// One of the page's files, built into the program from app/web/page.
struct WebAsset {
  std::string_view path;  // as requested: "/app.js"
  std::string_view type;  // its Content-Type
  std::string_view body;
};

// Every file of the page; "/" is index.html. Generated at build time.
[[nodiscard]] std::span<const WebAsset> webAssets();

}  // namespace lumetra
