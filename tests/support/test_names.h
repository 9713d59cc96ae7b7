#pragma once
// Names of parameterised tests, made from what each case says of itself.
#include <cctype>
#include <string>
#include <string_view>

// `text` with every character that a test name cannot hold turned into '_'.
inline std::string TestNameOf(std::string_view text) {
    std::string name(text);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

// The name of a case that is a row with a `name`.
struct RowName {
    template <typename Info>
    std::string operator()(const Info& info) const {
        return TestNameOf(info.param.name);
    }
};
