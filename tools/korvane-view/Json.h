#pragma once
// The little JSON the page reads, written by hand: flat objects of numbers,
// booleans and texts.
#include <string>

namespace view {

// text as a JSON string literal, quotes included. Bytes that are not
// printable ASCII become \u escapes, so driver text in any encoding stays
// valid JSON.
std::string JsonText(const std::string& text);

}  // namespace view
