#pragma once
// Which files a camera plays back: the configured text names one file, a
// folder (its files ending in ".pgm", in any letter case) or a pattern of
// file names in a folder ('*' any run of characters, '?' one character, in
// the last path component only). Files are played in name order.
#include <string>
#include <vector>

namespace korvane::mil::sim {

// True when name matches the pattern as a whole.
bool WildcardMatch(const std::string& pattern, const std::string& name);

// The files to play, sorted by name; false with the reason in error when
// the text names nothing that exists or no file matches.
bool ListPlaybackFiles(const std::string& source, std::vector<std::string>& files,
                       std::string& error);

}  // namespace korvane::mil::sim
