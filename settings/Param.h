#pragma once
// One named camera setting: its current value, inclusive limits and the
// default it was built with. The name is the INI key, the host's property
// name and the label in log lines at once. The model only stores, compares
// and looks up; it never clamps or rejects a value.
#include <cstdint>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

namespace korvane {

// True when both texts are equal ignoring the case of ASCII letters.
bool EqualsIgnoringAsciiCase(const std::string& a, const char* b);

template <typename T>
class Param {
  public:
    static_assert(std::is_same_v<T, int> || std::is_same_v<T, double> ||
                      std::is_same_v<T, std::string>,
                  "settings are integers, reals or texts");

    // A numeric setting with its default and inclusive limits.
    Param(std::string settingName, T def, T min, T max) requires(!std::is_same_v<T, std::string>)
        : name(std::move(settingName)),
          value(def),
          maxValue(max),
          minValue(min),
          defaultValue(def) {}

    // A text setting starts with every field set to its default text; an
    // integer built this way is a short-lived named value whose four numbers
    // are all v (handed to a library call together with its name).
    Param(std::string settingName, T v) requires(!std::is_same_v<T, double>)
        : name(std::move(settingName)), value(v), maxValue(v), minValue(v), defaultValue(v) {}

    Param(const Param&) = default;
    Param& operator=(const Param&) = default;
    Param(Param&&) = default;
    Param& operator=(Param&&) = default;
    virtual ~Param() = default;

    // Writes "name=value\n"; a real number in the stream's default format.
    virtual std::ostream& WriteTo(std::ostream& out) const {
        out << name << '=' << value << '\n';
        return out;
    }

    bool IsInRange() const { return minValue <= value && value <= maxValue; }

    // False for a null text; otherwise an ASCII case-insensitive comparison.
    bool NameEquals(const char* text) const { return EqualsIgnoringAsciiCase(name, text); }

    std::string name;
    T value;
    T maxValue;
    T minValue;
    T defaultValue;
};

// A choice among labelled options. The value is the chosen label's text
// (that is also how it is persisted); each label stands for a number of the
// imaging library.
class ParamEnum : public Param<std::string> {
  public:
    ParamEnum(std::string settingName, std::string def)
        : Param<std::string>(std::move(settingName), std::move(def)) {}

    // Ignores a null or empty text. The first label added becomes the value,
    // which makes the first label the effective default.
    void AddLabel(const char* text, std::int32_t number);
    void AddLabel(const std::string& text, std::int32_t number) { AddLabel(text.c_str(), number); }

    // Empties both lists and leaves the value as it is.
    void ClearLabels();

    int GetLabelCount() const { return static_cast<int>(labels.size()); }

    // The label and its number at index; false (outputs untouched) when the
    // index is out of range.
    bool GetLabel(int index, std::string& text, std::int32_t& number) const;

    // The number of the first label equal (case-sensitive) to the value; 0
    // for an empty value or one that matches no label.
    std::int32_t GetNumericValue() const;

    // Selects the first label with that number; unknown numbers change
    // nothing.
    void SetByNumericValue(std::int32_t number);

    std::vector<std::string> labels;
    std::vector<std::int32_t> labelValues;

  private:
    std::size_t PairCount() const;
};

}  // namespace korvane
