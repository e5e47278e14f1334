#pragma once
// The page's files, compiled in from page/ by the build (Embed.cmake).

namespace view::assets {

extern const char kPageHtml[];
extern const char kPageJs[];
extern const char kPageCss[];

}  // namespace view::assets
