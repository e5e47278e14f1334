#include "settings/Param.h"

#include <algorithm>

namespace korvane {
namespace {

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool EqualsIgnoringAsciiCase(const std::string& a, const char* b) {
    if (b == nullptr) {
        return false;
    }
    std::size_t i = 0;
    for (; i < a.size(); ++i) {
        if (b[i] == '\0' || FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return b[i] == '\0';
}

void ParamEnum::AddLabel(const char* text, std::int32_t number) {
    if (text == nullptr || *text == '\0') {
        return;
    }
    labels.emplace_back(text);
    labelValues.push_back(number);
    if (labels.size() == 1) {
        value = labels.front();
    }
}

void ParamEnum::ClearLabels() {
    labels.clear();
    labelValues.clear();
}

// The lists are public, so a caller may have left them of unequal length;
// only the pairs both hold count.
std::size_t ParamEnum::PairCount() const {
    return std::min(labels.size(), labelValues.size());
}

bool ParamEnum::GetLabel(int index, std::string& text, std::int32_t& number) const {
    if (index < 0 || static_cast<std::size_t>(index) >= PairCount()) {
        return false;
    }
    text = labels[static_cast<std::size_t>(index)];
    number = labelValues[static_cast<std::size_t>(index)];
    return true;
}

std::int32_t ParamEnum::GetNumericValue() const {
    if (value.empty()) {
        return 0;
    }
    for (std::size_t i = 0; i < PairCount(); ++i) {
        if (labels[i] == value) {
            return labelValues[i];
        }
    }
    return 0;
}

void ParamEnum::SetByNumericValue(std::int32_t number) {
    for (std::size_t i = 0; i < PairCount(); ++i) {
        if (labelValues[i] == number) {
            value = labels[i];
            return;
        }
    }
}

}  // namespace korvane
