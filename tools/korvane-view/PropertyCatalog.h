#pragma once
// The settings the page edits: the ones the driver's setProperty accepts
// that change the image or the log, with the catalogue's limits and when a
// change takes effect.
#include <string>
#include <vector>

namespace view {

struct PropertySpec {
    std::string name;
    int min = 0;
    int max = 0;
    std::string effect;  // when a change takes effect, for the page
};

// In the order the page lists them; limits in the host's units (reals
// times 1,000,000).
const std::vector<PropertySpec>& ViewedProperties();

// The entry named name (exact spelling), or null.
const PropertySpec* FindViewedProperty(const std::string& name);

}  // namespace view
