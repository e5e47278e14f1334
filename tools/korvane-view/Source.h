#pragma once
// Where the frames come from: a camera this tool hosts, or a camera another
// process shares. The server asks it for what the page shows and hands it
// the page's requests; a shared camera refuses every change.
#include <string>

namespace view {

// The answer to a change the page asked for.
struct ChangeAnswer {
    bool ok = false;
    std::string json;  // the whole answer object for the page
};

class Source {
  public:
    virtual ~Source() = default;
    virtual bool ReadOnly() const = 0;
    // The camera, its size, mode and (host mode) the settings with ranges.
    virtual std::string InfoJson() = 0;
    // Counters for the page's statistics line, a JSON object's members
    // without the braces.
    virtual std::string StatsMembers() = 0;
    virtual ChangeAnswer SetProperty(const std::string& name, int value) = 0;
    // mode: "single", "continuous" or "stop".
    virtual ChangeAnswer Grab(const std::string& mode) = 0;
};

}  // namespace view
